// Port events on the fake platform: line errors, modem lines, ring, break, 80% full, transmit
// empty and hang-up, which a pseudo-terminal cannot show, and the order of the event steps.
#include <gtest/gtest.h>

#include "serial/com_platform_fake.h"
#include "serial/com_port.h"
#include "serial_test_support.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class ComEvents : public ::testing::Test {
protected:
    ComEvents() : line(platform.AddDevice("/dev/fake0")), port(nullptr, &platform), recorder(port)
    {
        port.SetPort("/dev/fake0");
    }

    // Opens the port and waits until the event thread has taken its baselines and waits.
    void Open()
    {
        port.OpenPort();
        ASSERT_TRUE(PumpUntil([&] { return line->State().waitCount > 0; }));
        recorder.log.clear();
    }

    TFakeComPlatform platform;
    std::shared_ptr<TFakeSerialLine> line;
    TComPort port;
    TRecorder recorder;
};

} // namespace

TEST_F(ComEvents, OpenAnnouncesTheCurrentModemLines)
{
    line->Change([](TFakeLineState& state) { state.modemLines = {CTS, RLSD}; });
    port.OpenPort();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"OnBeforeOpen", "ConnNotify(on)", "OnAfterOpen", "CTSNotify(on)",
                                                      "OnCTSChange(on)", "DSRNotify(off)", "OnDSRChange(off)",
                                                      "RLSDNotify(on)", "OnRLSDChange(on)"}));
    recorder.log.clear();
    port.ClosePort();
    // Closing announces all three off, whatever the lines are.
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"CTSNotify(off)", "OnCTSChange(off)", "DSRNotify(off)", "OnDSRChange(off)",
                                                      "RLSDNotify(off)", "OnRLSDChange(off)", "OnBeforeClose",
                                                      "ConnNotify(off)", "OnAfterClose"}));
}

TEST_F(ComEvents, ErrorComesBeforeRxCharInOneBatch)
{
    port.OnRxChar = [&](TCustomComPort& sender, int count) {
        recorder.Add("OnRxChar(" + std::to_string(count) + ")");
        char buffer[64];
        sender.ReceiveBytes(buffer, count);
    };
    Open();
    line->Change([](TFakeLineState& state) {
        state.counters.frame += 1; // a framing error together with the bytes it spoiled
        const std::string bytes = "abc";
        state.input.insert(state.input.end(), bytes.begin(), bytes.end());
    });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRxChar"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"OnError(1)", "RxNotify(on)", "OnRxChar(3)", "RxNotify(off)"}));
}

TEST_F(ComEvents, ErrorFlagsThatMapToNothingRaiseNoOnError)
{
    Open();
    line->Change([](TFakeLineState& state) {
        state.counters.parity += 1; // Parity.Check is off
        state.input.push_back('x');
    });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRxChar"); }));
    EXPECT_FALSE(recorder.Has("OnError"));

    port.Parity().SetCheck(true);
    line->Change([](TFakeLineState& state) { state.counters.parity += 1; });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnError"); }));
    EXPECT_EQ(recorder.log.back(), "OnError(2)"); // ceRxParity
}

TEST_F(ComEvents, SeveralErrorFlagsArriveInOneOnError)
{
    Open();
    line->Change([](TFakeLineState& state) {
        state.counters.frame += 1;
        state.counters.overrun += 3;
    });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnError"); }));
    Pump(30);
    EXPECT_EQ(recorder.log, std::vector<std::string>{"OnError(5)"}); // ceFrame | ceOverrun
}

TEST_F(ComEvents, ModemLineChangesNotifyLinksThenRaiseTheirEvents)
{
    Open();
    line->Change([](TFakeLineState& state) { state.modemLines = {CTS}; });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnCTSChange"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"CTSNotify(on)", "OnCTSChange(on)"}));
    recorder.log.clear();
    line->Change([](TFakeLineState& state) { state.modemLines = {DSR, RLSD}; });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRLSDChange"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"CTSNotify(off)", "OnCTSChange(off)", "DSRNotify(on)", "OnDSRChange(on)",
                                                      "RLSDNotify(on)", "OnRLSDChange(on)"}));
}

TEST_F(ComEvents, PulsesSeenOnlyByTheCountersStillRaiseEvents)
{
    Open();
    line->Change([](TFakeLineState& state) {
        state.counters.cts += 2; // CTS went on and off between two looks
        state.counters.rng += 1;
        state.counters.brk += 1;
    });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnCTSChange"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"OnBreak", "RingNotify", "OnRing", "CTSNotify(off)", "OnCTSChange(off)"}));
    // A break is a line error too, read by TakeLineErrors; it is not an evError of its own.
    EXPECT_EQ(port.TakeLineErrors(), TComErrors{ceBreak});
}

TEST_F(ComEvents, RingIsTheTrailingEdgeOfTheRingIndicator)
{
    line->Change([](TFakeLineState& state) { state.countersSupported = false; });
    Open();
    line->Change([](TFakeLineState& state) { state.modemLines = {Ring}; });
    Pump(100);
    EXPECT_FALSE(recorder.Has("OnRing"));
    line->Change([](TFakeLineState& state) { state.modemLines = {}; });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRing"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"RingNotify", "OnRing"}));
}

TEST_F(ComEvents, AllStepsOfOneBatchRunInOrder)
{
    port.Buffer().SetInputSize(10); // 80% full at 8 bytes
    Open();
    line->Change([](TFakeLineState& state) {
        state.counters.frame += 1;
        state.counters.brk += 1;
        state.counters.rng += 1;
        state.modemLines = {CTS, DSR, RLSD};
        const std::string bytes = "123456789";
        state.input.insert(state.input.end(), bytes.begin(), bytes.end());
    });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRx80Full"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"OnError(9)", "RxNotify(on)", "OnRxChar(9)", "OnBreak", "RingNotify",
                                                      "OnRing", "CTSNotify(on)", "OnCTSChange(on)", "DSRNotify(on)",
                                                      "OnDSRChange(on)", "RLSDNotify(on)", "OnRLSDChange(on)", "OnRx80Full"}));
}

TEST_F(ComEvents, EventsOutsideTheEventsSetAreNotRaised)
{
    port.SetEvents({evRxChar});
    Open();
    line->Change([](TFakeLineState& state) {
        state.counters.frame += 1;
        state.modemLines = {CTS};
        state.input.push_back('q');
    });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnRxChar"); }));
    Pump(80);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"RxNotify(on)", "OnRxChar(1)"}));
}

TEST_F(ComEvents, TransmitEmptyWaitsUntilTheDriverQueueDrains)
{
    Open();
    line->Change([](TFakeLineState& state) { state.outputQueue = 5; });
    port.SendBytes("abcde", 5);
    Pump(60);
    EXPECT_FALSE(recorder.Has("OnTxEmpty"));
    line->Change([](TFakeLineState& state) { state.outputQueue = 0; });
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnTxEmpty"); }));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"TxNotify(on)", "TxBufNotify(5)", "TxNotify(off)", "TxEmptyNotify", "OnTxEmpty"}));
    EXPECT_EQ(line->TakeOutput(), (std::vector<unsigned char>{'a', 'b', 'c', 'd', 'e'}));
}

TEST_F(ComEvents, RxCharIsNotRaisedWhenTheQueueIsEmptyAtTheStep)
{
    Open();
    line->Change([](TFakeLineState& state) { state.input.push_back('z'); });
    QTest::qSleep(50); // the batch waits for the hand-over; meanwhile the bytes are read
    char buffer[4];
    EXPECT_EQ(port.ReceiveBytes(buffer, 4), 1);
    recorder.log.clear();
    Pump(60);
    EXPECT_FALSE(recorder.Has("OnRxChar"));
    EXPECT_FALSE(recorder.Has("RxNotify(on)"));
}

TEST_F(ComEvents, AnExceptionFromALinkEndsDeliveryLikeOneFromAHandler)
{
    TComLink failing;
    failing.RxNotify = [](TCustomComPort&, bool) { throw EComPort(CError_LedStateFailed); };
    port.AttachLink(&failing);
    Open();
    line->Receive("a");
    ASSERT_TRUE(PumpUntil([&] { return !port.EventThreadRunning(); }));
    EXPECT_FALSE(recorder.Has("OnRxChar"));
    EXPECT_TRUE(port.Connected());
    // Ended without its clean-up: the received byte was not discarded.
    const auto calls = line->State().calls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DiscardQueues"), 0);
    port.DetachLink(&failing);
    port.ClosePort();
}

TEST_F(ComEvents, NormalEndOfTheThreadDiscardsBothQueues)
{
    Open();
    port.ClosePort();
    const auto calls = line->State().calls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DiscardQueues"), 1);
}

TEST_F(ComEvents, HangUpRaisesOnHangUpOnceAndEndsTheThread)
{
    Open();
    line->HangUp();
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnHangUp"); }));
    ASSERT_TRUE(PumpUntil([&] { return !port.EventThreadRunning(); }));
    Pump(50);
    EXPECT_EQ(recorder.Count("OnHangUp"), 1);
    EXPECT_TRUE(port.EndedOnHangUp());
    EXPECT_TRUE(port.Connected());
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    // A new open starts afresh.
    line->Change([](TFakeLineState& state) { state.hungUp = false; });
    port.OpenPort();
    EXPECT_FALSE(port.EndedOnHangUp());
}

TEST_F(ComEvents, AFailedWaitEndsTheThreadQuietly)
{
    Open();
    line->FailCall("Wait", EIO);
    ASSERT_TRUE(PumpUntil([&] { return !port.EventThreadRunning(); }));
    EXPECT_FALSE(port.EndedOnHangUp());
    EXPECT_FALSE(port.EventThreadError());
    EXPECT_TRUE(port.Connected());
    line->Change([](TFakeLineState& state) { state.failures.clear(); });
    port.ClosePort();
}

TEST_F(ComEvents, LinesAreNotPolledWhereTheDriverHasNone)
{
    line->Change([](TFakeLineState& state) {
        state.modemSupported = false;
        state.countersSupported = false;
    });
    Open();
    const int waits = line->State().waitCount;
    QTest::qSleep(200);
    EXPECT_EQ(line->State().waitCount, waits); // one wait without limit, no polling
}

TEST_F(ComEvents, LinesArePolledWhereTheDriverHasThem)
{
    Open();
    const int waits = line->State().waitCount;
    QTest::qSleep(200);
    EXPECT_GE(line->State().waitCount - waits, 2);
    EXPECT_LE(line->State().waitCount - waits, 8);
}

TEST_F(ComEvents, AQueueQueryFailingWithEioCountsAsAHangUp)
{
    Open();
    line->FailCall("InputQueue", EIO);
    line->Receive("a");
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has("OnHangUp"); }));
    EXPECT_TRUE(port.EndedOnHangUp());
    line->Change([](TFakeLineState& state) { state.failures.clear(); });
    port.ClosePort();
}
