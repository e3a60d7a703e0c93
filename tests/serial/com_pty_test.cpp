// The port on real pseudo-terminals: open and close, bytes both ways, OnRxChar, timeouts,
// hand-overs while closing, hang-up, and an idle port that never wakes.
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <csignal>
#include <poll.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "serial/com_port.h"
#include "serial_test_support.h"
#include "support/pseudo_terminal.h"

using namespace r7730;
using namespace r7730::testing;
using namespace std::chrono;

namespace {

class ComPty : public ::testing::Test {
protected:
    ComPty() { port.SetPort(pty.SlavePath().toStdString()); }
    void SetUp() override { ASSERT_TRUE(pty.IsOpen()) << "openpty failed"; }

    // The event thread is in its wait (it has taken its baselines).
    void SettleThread() { QTest::qSleep(30); }

    std::string AllBytes()
    {
        std::string bytes;
        for (int i = 0; i < 256; ++i)
            bytes.push_back(static_cast<char>(i));
        return bytes;
    }

    TPseudoTerminal pty;
    TComPort port;
};

} // namespace

TEST_F(ComPty, OpenAndCloseNotifyInOrder)
{
    TRecorder recorder(port);
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.EventThreadRunning());
    // A pty has no modem lines: all three are announced off.
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"OnBeforeOpen", "ConnNotify(on)", "OnAfterOpen", "CTSNotify(off)",
                                                      "OnCTSChange(off)", "DSRNotify(off)", "OnDSRChange(off)",
                                                      "RLSDNotify(off)", "OnRLSDChange(off)"}));
    recorder.log.clear();
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.EventThreadRunning());
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"CTSNotify(off)", "OnCTSChange(off)", "DSRNotify(off)", "OnDSRChange(off)",
                                                      "RLSDNotify(off)", "OnRLSDChange(off)", "OnBeforeClose",
                                                      "ConnNotify(off)", "OnAfterClose"}));
}

TEST_F(ComPty, MissingPortRaisesRow1WithErrno2)
{
    TRecorder recorder(port);
    port.SetPort("/dev/pts/does-not-exist");
    try {
        port.OpenPort();
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
        EXPECT_EQ(e.ComErrorCode(), 1);
        EXPECT_EQ(e.SystemErrorCode(), 2);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(recorder.log, std::vector<std::string>{"OnBeforeOpen"});

    port.SetPort("ttyR7730-no-such-port"); // a bare name means /dev/<name>
    EXPECT_THROW(port.OpenPort(), EComPort);
}

TEST_F(ComPty, SecondOpenerOfTheSamePortIsRefused)
{
    port.OpenPort();
    TComPort other;
    other.SetPort(pty.SlavePath().toStdString());
    try {
        other.OpenPort();
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        // flock refuses (EWOULDBLOCK); without root TIOCEXCL may refuse first (EBUSY).
        EXPECT_TRUE(e.SystemErrorCode() == EWOULDBLOCK || e.SystemErrorCode() == EBUSY) << e.what();
        EXPECT_EQ(e.ComErrorCode(), 1);
    }
    EXPECT_FALSE(other.Connected());
    port.ClosePort();
    other.OpenPort(); // free again
    EXPECT_TRUE(other.Connected());
    other.ClosePort();

    // A holder that lets go a moment after the open begins is waited for.
    const int held = ::open(pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    std::thread lettingGo([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(held);
    });
    other.OpenPort();
    lettingGo.join();
    EXPECT_TRUE(other.Connected());
}

TEST_F(ComPty, APortHeldByAKilledProgramOpensAgain)
{
    // The other program: it opens the port and is killed while it holds it.
    IComPlatform& platform = SystemComPlatform();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        std::unique_ptr<IComDevice> device;
        const char opened = platform.Open(pty.SlavePath().toStdString(), device).Ok() ? 1 : 0;
        [[maybe_unused]] const ssize_t told = ::write(ready[1], &opened, 1);
        ::pause();
        ::_exit(0);
    }
    char opened = 0;
    ASSERT_EQ(::read(ready[0], &opened, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_EQ(opened, 1);

    port.OpenPort(); // the pseudo-terminal lives on: only its holder is gone
    EXPECT_TRUE(port.Connected());
}

TEST_F(ComPty, LineSettingsReachTheTty)
{
    port.SetBaudRate(br115200);
    port.OpenPort();
    termios settings{};
    ASSERT_EQ(::tcgetattr(pty.Master(), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), B115200);
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(230400);
    ASSERT_EQ(::tcgetattr(pty.Master(), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), B230400);
    // Rates without a B-constant go through termios2; the pty keeps them.
    EXPECT_NO_THROW(port.SetBaudRate(br14400));
    EXPECT_NO_THROW(port.SetBaudRate(br256000));
    EXPECT_NO_THROW(port.SetCustomBaudRate(31250));
    port.SetBaudRate(br9600);
    ASSERT_EQ(::tcgetattr(pty.Master(), &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), B9600);

    // A custom rate of 0 is refused by the line settings step; the port stays open.
    port.SetCustomBaudRate(0);
    try {
        port.SetBaudRate(brCustom);
        FAIL() << "no exception";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "SetCommState function failed (win error code: 22)");
    }
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.BaudRate(), brCustom);
}

TEST_F(ComPty, BytesBothWays)
{
    port.SetEvents({});
    port.OpenPort();
    const std::string bytes = AllBytes();
    EXPECT_EQ(port.SendBytes(bytes.data(), static_cast<int>(bytes.size())), 256);
    EXPECT_EQ(pty.Receive(256), bytes);

    ASSERT_TRUE(pty.Send(bytes));
    std::string got;
    const auto deadline = steady_clock::now() + seconds(2);
    while (got.size() < 256 && steady_clock::now() < deadline) {
        char buffer[300];
        got.append(buffer, static_cast<std::size_t>(port.ReceiveBytes(buffer, 300)));
    }
    EXPECT_EQ(got, bytes);
}

TEST_F(ComPty, ReceiveBytesReturnsWhatIsQueuedAtOnce)
{
    port.SetEvents({});
    port.OpenPort();
    char buffer[100];
    auto start = steady_clock::now();
    EXPECT_EQ(port.ReceiveBytes(buffer, 100), 0);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 50);

    ASSERT_TRUE(pty.Send("0123456789"));
    ASSERT_TRUE(PumpUntil([&] { return port.InputQueueCount() == 10; }));
    start = steady_clock::now();
    EXPECT_EQ(port.ReceiveBytes(buffer, 100), 10);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 50);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(port.InputQueueCount(), 0);
}

TEST_F(ComPty, ReadTimeoutsWaitForBytesWhenAskedTo)
{
    port.SetEvents({});
    port.Timeouts().SetReadInterval(-1);
    port.Timeouts().SetReadTotalMultiplier(-1);
    port.Timeouts().SetReadTotalConstant(150); // wait up to 150 ms for the first byte
    port.OpenPort();
    char buffer[16];
    auto start = steady_clock::now();
    EXPECT_EQ(port.ReceiveBytes(buffer, 16), 0);
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
    EXPECT_GE(waited, 140);
    EXPECT_LT(waited, 1000);

    std::jthread writer([this] {
        QThread::msleep(30);
        pty.Send("xy");
    });
    start = steady_clock::now();
    const int got = port.ReceiveBytes(buffer, 16);
    writer.join();
    EXPECT_GE(got, 1);
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 140);
}

TEST_F(ComPty, WriteThatRunsOutOfTimeEndsShortWithoutError)
{
    port.SetEvents({});
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(200);
    port.OpenPort();
    const std::string big(1 << 20, 'x'); // nobody reads the master: the pty fills up
    const auto start = steady_clock::now();
    int written = -1;
    EXPECT_NO_THROW(written = port.SendBytes(big.data(), static_cast<int>(big.size())));
    const auto took = duration_cast<milliseconds>(steady_clock::now() - start).count();
    EXPECT_GT(written, 0);
    EXPECT_LT(written, static_cast<int>(big.size()));
    EXPECT_GE(took, 190);
    EXPECT_LT(took, 1500);
}

TEST_F(ComPty, WriteNotifiesLinksAndTheTransmitQueueDrainsIntoTxEmpty)
{
    TRecorder recorder(port);
    port.OpenPort();
    recorder.log.clear();
    EXPECT_EQ(port.SendBytes("\x7E\x05\x41\x50\xFE", 5), 5);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"TxNotify(on)", "TxBufNotify(5)"}));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnTxEmpty"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"TxNotify(on)", "TxBufNotify(5)", "TxNotify(off)", "TxEmptyNotify",
                                                      "OnTxEmpty"}));
    EXPECT_EQ(pty.Receive(5), std::string("\x7E\x05\x41\x50\xFE", 5));
}

TEST_F(ComPty, ReceivedBytesRaiseRxNotifyThenOnRxCharWithTheQueuedCount)
{
    TRecorder recorder(port);
    port.OpenPort();
    recorder.log.clear();
    ASSERT_TRUE(pty.Send("hello"));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRxChar"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"RxNotify(on)", "OnRxChar(5)"}));
    // Nothing was read by the port itself.
    EXPECT_EQ(port.InputQueueCount(), 5);
    char buffer[8192];
    EXPECT_EQ(port.ReceiveBytes(buffer, 8192), 5);
    EXPECT_EQ(recorder.log.back(), "RxNotify(off)");
}

TEST_F(ComPty, OneEventCarriesSeveralWrites)
{
    int events = 0;
    int total = 0;
    std::string received;
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        ++events;
        total += count;
        char buffer[8192];
        const int got = sender.ReceiveBytes(buffer, count);
        received.append(buffer, static_cast<std::size_t>(got));
    };
    port.OpenPort();
    SettleThread();
    // The event thread hands its batch over and waits; the count is taken when the step runs.
    ASSERT_TRUE(pty.Send("abc"));
    ASSERT_TRUE(pty.Send("defg"));
    ASSERT_TRUE(pty.Send("hij"));
    QTest::qSleep(100);
    ASSERT_TRUE(PumpUntil([&] { return total == 10; }));
    Pump(50);
    EXPECT_EQ(events, 1);
    EXPECT_EQ(received, "abcdefghij");
}

TEST_F(ComPty, OneWriteCanArriveInSeveralEvents)
{
    int events = 0;
    std::string received;
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        ++events;
        std::vector<char> buffer(static_cast<std::size_t>(count));
        received.append(buffer.data(), static_cast<std::size_t>(sender.ReceiveBytes(buffer.data(), count)));
    };
    port.OpenPort();
    std::string block;
    for (int i = 0; i < 100000; ++i)
        block.push_back(static_cast<char>('A' + i % 26));
    std::jthread writer([&] { pty.Send(block, 5000); }); // one write of 100000 bytes; the pty holds 4 KB
    ASSERT_TRUE(PumpUntil([&] { return received.size() == block.size(); }, 5000));
    writer.join();
    EXPECT_GT(events, 1);
    EXPECT_EQ(received, block);
}

TEST_F(ComPty, BytesLeftUnreadRaiseNoFurtherEventUntilMoreArrive)
{
    TRecorder recorder(port);
    port.OpenPort();
    ASSERT_TRUE(pty.Send("12"));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count("OnRxChar(2)") == 1; }));
    Pump(100);
    EXPECT_EQ(recorder.Count("OnRxChar(2)"), 1); // no repeat, no spin
    ASSERT_TRUE(pty.Send("345"));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRxChar(5)"); }));
}

TEST_F(ComPty, BytesArrivingWhileABatchIsHandledAreAnnouncedByTheNextOne)
{
    // The handler reads what it was told of, then more bytes arrive before it returns, as
    // they do when a reply comes back while the handler is still busy.
    std::string received;
    int events = 0;
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        char buffer[64];
        received.append(buffer, static_cast<std::size_t>(sender.ReceiveBytes(buffer, count)));
        if (++events == 1) {
            pty.Send("later");
            QTest::qSleep(30); // the bytes are queued before the batch ends
        }
    };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("first"));
    ASSERT_TRUE(PumpUntil([&] { return received == "firstlater"; })) << received;
    EXPECT_EQ(events, 2);
}

TEST_F(ComPty, LinkWithRxBufferMakesThePortReadAndOnRxCharStaysQuiet)
{
    TRecorder recorder(port, true);
    port.OpenPort();
    recorder.log.clear();
    ASSERT_TRUE(pty.Send("frame"));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("RxBufNotify"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"RxNotify(on)", "RxNotify(off)", "OnRxBuf(5)", "RxBufNotify(5)"}));
    EXPECT_EQ(recorder.rxBufBytes, "frame");
    EXPECT_EQ(recorder.linkBytes, "frame");
    EXPECT_EQ(port.InputQueueCount(), 0);
}

TEST_F(ComPty, RxCharTriggerOffReadsIntoOnRxBuf)
{
    TRecorder recorder(port);
    port.SetRxCharTrigger(false);
    port.OpenPort();
    recorder.log.clear();
    ASSERT_TRUE(pty.Send("xyz"));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRxBuf"); }));
    Pump(30);
    EXPECT_EQ(recorder.rxBufBytes, "xyz");
    EXPECT_FALSE(recorder.Has("OnRxChar"));
}

TEST_F(ComPty, EmptyEventsOpensWithoutAThreadAndRaisesNoEvent)
{
    TRecorder recorder(port);
    port.SetEvents({});
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(port.EventThreadRunning());
    EXPECT_EQ(port.EventThreadId(), 0);
    recorder.log.clear();
    ASSERT_TRUE(pty.Send("ignored"));
    port.SendBytes("x", 1);
    Pump(100);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"TxNotify(on)", "TxBufNotify(1)"}));
}

TEST_F(ComPty, EventsRunOnTheUserInterfaceThreadUnderThreadSyncAndOnTheEventThreadUnderNone)
{
    QThread* seenOn = nullptr;
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        seenOn = QThread::currentThread();
        char buffer[64];
        sender.ReceiveBytes(buffer, std::min(count, 64));
    };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("a"));
    ASSERT_TRUE(PumpUntil([&] { return seenOn != nullptr; }));
    EXPECT_EQ(seenOn, QThread::currentThread());
    port.ClosePort();

    std::atomic<bool> seen{false};
    std::atomic<QThread*> threadSeen{nullptr};
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        threadSeen = QThread::currentThread();
        char buffer[64];
        sender.ReceiveBytes(buffer, std::min(count, 64));
        seen = true;
    };
    port.SetSyncMethod(smNone);
    port.OpenPort();
    ASSERT_TRUE(pty.Send("b"));
    const auto deadline = steady_clock::now() + seconds(3);
    while (!seen && steady_clock::now() < deadline) // no event loop needed
        QThread::msleep(5);
    ASSERT_TRUE(seen);
    EXPECT_NE(threadSeen.load(), QThread::currentThread());
    port.ClosePort();
}

TEST_F(ComPty, ExceptionFromAHandlerEndsEventDeliveryAndThePortStaysOpen)
{
    int calls = 0;
    port.OnRxChar = [&](TCustomComPort&, int) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("1"));
    ASSERT_TRUE(PumpUntil([&] { return !port.EventThreadRunning(); }));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(port.Connected());
    ASSERT_TRUE(port.EventThreadError());
    EXPECT_THROW(std::rethrow_exception(port.EventThreadError()), std::runtime_error);
    ASSERT_TRUE(pty.Send("2"));
    Pump(100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(port.SendBytes("ok", 2), 2); // the port still works
    port.ClosePort();
    EXPECT_FALSE(port.Connected());

    // Reopened, it delivers again.
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        ++calls;
        char buffer[64];
        sender.ReceiveBytes(buffer, std::min(count, 64));
    };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("3"));
    ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
}

TEST_F(ComPty, WindowSyncReportsAStepErrorAndGoesOn)
{
    std::vector<std::string> reports;
    int calls = 0;
    port.SetSyncMethod(smWindowSync);
    port.OnSyncError = [&](TCustomComPort&, std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            reports.push_back(e.what());
        }
    };
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        ++calls;
        char buffer[64];
        sender.ReceiveBytes(buffer, std::min(count, 64));
        throw std::runtime_error("step failed");
    };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("1"));
    ASSERT_TRUE(PumpUntil([&] { return calls == 1; }));
    ASSERT_TRUE(pty.Send("2"));
    ASSERT_TRUE(PumpUntil([&] { return calls == 2; }));
    EXPECT_EQ(reports, (std::vector<std::string>{"step failed", "step failed"}));
    EXPECT_TRUE(port.EventThreadRunning());
}

TEST_F(ComPty, CloseWhileTheDeviceKeepsSendingNeverDeadlocks)
{
    long long received = 0;
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        char buffer[8192];
        received += sender.ReceiveBytes(buffer, std::min(count, 8192));
    };
    port.OpenPort();
    std::atomic<bool> stop{false};
    std::jthread device([&] {
        const std::string chunk(512, 'z');
        while (!stop) {
            if (::write(pty.Master(), chunk.data(), chunk.size()) < 0) {
                pollfd fd{pty.Master(), POLLOUT, 0};
                ::poll(&fd, 1, 5);
            }
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return received > 20000; }));
    // Close without pumping: ClosePort serves the queued hand-overs itself.
    const auto start = steady_clock::now();
    port.ClosePort();
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 1000);
    EXPECT_FALSE(port.Connected());
    // And once more, with the UI thread not having pumped at all since the open.
    port.OpenPort();
    QTest::qSleep(100);
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    stop = true;
    device.join();
}

TEST_F(ComPty, ClosePortInsideAnEventStepDoesNotDeadlock)
{
    port.OnRxChar = [&](TCustomComPort& sender, int) { sender.ClosePort(); };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("bye"));
    ASSERT_TRUE(PumpUntil([&] { return !port.Connected(); }));
}

TEST_F(ComPty, AHandlerThatClosesInsideABatchServedByClosePortClosesOnlyOnce)
{
    int afterClose = 0;
    port.OnAfterClose = [&](TCustomComPort&) { ++afterClose; };
    port.OnRxChar = [&](TCustomComPort& sender, int) { sender.ClosePort(); };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("bye"));
    QTest::qSleep(100); // the event thread queues its batch; nobody serves it yet
    port.ClosePort();   // serves the batch, whose handler closes again
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(afterClose, 1);
    port.OnRxChar = nullptr;
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    // The fixture closes the port again after this test's locals are gone.
    port.OnAfterClose = nullptr;
}

TEST_F(ComPty, ClosePortFromALinkBeforeOnRxCharEndsTheStep)
{
    // A lamp lets the window run inside RxNotify; a Disconnect click closes the port there.
    TComLink lamp;
    lamp.RxNotify = [](TCustomComPort& sender, bool on) {
        if (on)
            sender.ClosePort();
    };
    port.AttachLink(&lamp);
    bool rxChar = false;
    port.OnRxChar = [&](TCustomComPort&, int) { rxChar = true; };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("x"));
    ASSERT_TRUE(PumpUntil([&] { return !port.Connected(); }));
    Pump(20);
    EXPECT_FALSE(rxChar);
    port.DetachLink(&lamp);
}

TEST_F(ComPty, ClosePortOnTheEventThreadUnderSmNoneIsRefused)
{
    std::atomic<bool> refused{false};
    port.SetSyncMethod(smNone);
    port.OnRxChar = [&](TCustomComPort& sender, int) {
        try {
            sender.ClosePort();
        } catch (const std::logic_error&) {
            refused = true;
            throw;
        }
    };
    port.OpenPort();
    ASSERT_TRUE(pty.Send("x"));
    ASSERT_TRUE(PumpUntil([&] { return refused && !port.EventThreadRunning(); }));
    EXPECT_TRUE(port.Connected());
    port.OnRxChar = nullptr;
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComPty, HangUpEndsTheThreadQuietlyAndClosePortStillWorks)
{
    TRecorder recorder(port);
    QThread* hangUpOn = nullptr;
    port.OnHangUp = [&](TCustomComPort&) {
        recorder.Add("OnHangUp");
        hangUpOn = QThread::currentThread();
    };
    port.OpenPort();
    SettleThread();
    const long tid = port.EventThreadId();
    ASSERT_NE(tid, 0);
    EXPECT_FALSE(port.EndedOnHangUp());
    pty.Close(); // the device goes away

    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnHangUp"); }));
    EXPECT_EQ(hangUpOn, QThread::currentThread());
    EXPECT_TRUE(port.EndedOnHangUp());
    ASSERT_TRUE(PumpUntil([&] { return !port.EventThreadRunning(); }));
    EXPECT_TRUE(port.Connected()); // open until closed

    // No spin: over about a second the process stays nearly idle.
    const double cpuBefore = ProcessCpuMs();
    Pump(1000);
    const double cpuUsed = ProcessCpuMs() - cpuBefore;
    EXPECT_LT(cpuUsed, 250.0);
    EXPECT_EQ(recorder.Count("OnHangUp"), 1);

    recorder.log.clear();
    EXPECT_NO_THROW(port.ClosePort());
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(recorder.log.back(), "OnAfterClose");
}

TEST_F(ComPty, ClosePortInsideOnHangUpWorks)
{
    port.OnHangUp = [](TCustomComPort& sender) { sender.ClosePort(); };
    port.OpenPort();
    SettleThread();
    pty.Close();
    ASSERT_TRUE(PumpUntil([&] { return !port.Connected(); }));
    EXPECT_TRUE(port.EndedOnHangUp());
}

TEST_F(ComPty, AfterHangUpWritesFailAndReadsReturnNothing)
{
    port.OpenPort();
    SettleThread();
    pty.Close();
    ASSERT_TRUE(PumpUntil([&] { return port.EndedOnHangUp(); }));
    EXPECT_THROW(port.SendBytes("x", 1), EComPort);
    char buffer[16];
    EXPECT_EQ(port.ReceiveBytes(buffer, 16), 0);
    port.ClosePort();
    // The pty node is gone: opening again fails with row 1.
    EXPECT_THROW(port.OpenPort(), EComPort);
    EXPECT_FALSE(port.Connected());
}

TEST_F(ComPty, AnIdlePortNeverWakesItsThread)
{
    port.OpenPort();
    SettleThread();
    const long tid = port.EventThreadId();
    ASSERT_NE(tid, 0);
    const TThreadFigures before = ThreadFigures(tid);
    QTest::qSleep(500);
    const TThreadFigures after = ThreadFigures(tid);
    EXPECT_EQ(after.Switches() - before.Switches(), 0) << "wake-ups of an idle event thread";
    EXPECT_LT(after.cpuMs - before.cpuMs, 5.0);
}
