// The device link without a window, against the simulated device: what a command-line front end
// sees through its listener.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <random>
#include <tuple>
#include <thread>

#include "device/device_link.h"
#include "support/device_frames.h"
#include "support/pseudo_terminal.h"
#include "support/qt_printers.h"
#include "support/simulator_process.h"

using namespace r7730;
using r7730::testing::kStatusReply;

namespace {

class TRecordingListener : public IDeviceListener {
public:
    void LogLine(const QString& line) override { log << line; }
    void FrameLogLine(const QString& line, const TShownFrame& frame) override
    {
        log << line;
        frameLines.emplace_back(line, frame.direction, r7730::testing::Bytes(frame.bytes.begin(), frame.bytes.end()));
    }
    void SendRefused(const QString& text) override { log << "refused: " + text; }
    void StatusReplied(const TStatusReply& reply) override { statuses.push_back(reply); }
    void ScanReplied(const TScanReply&) override {}
    void CurrentApReplied(const TCurrentApReply&) override {}
    void SignalReplied(const TSignalReply&) override {}
    void DeviceLost() override { ++lost; }

    QStringList log;
    // The lines handed with their frame, and that frame.
    std::vector<std::tuple<QString, TFrameDirection, r7730::testing::Bytes>> frameLines;
    std::vector<TStatusReply> statuses;
    int lost = 0;
};

// Every frame record, as it came.
class TRecordingObserver : public IFrameObserver {
public:
    void FrameObserved(const TObservedFrame& frame) noexcept override { frames.push_back(frame); }

    using TRecord = std::tuple<TFrameDirection, TFrameKind, r7730::testing::Bytes>;
    std::vector<TRecord> Records() const
    {
        std::vector<TRecord> records;
        for (const TObservedFrame& frame : frames)
            records.emplace_back(frame.direction, frame.kind, frame.bytes);
        return records;
    }

    std::vector<TObservedFrame> frames;
};

class DeviceLinkAlone : public ::testing::Test {
protected:
    // Connects to a simulator started with these options.
    void Connect(std::vector<std::string> options)
    {
        simulator = std::make_unique<r7730::testing::SimulatorProcess>(std::move(options));
        link.Port().SetPort(simulator->linkPath());
        ASSERT_EQ(link.Open(), std::nullopt);
        ASSERT_TRUE(link.Port().Connected());
    }
    bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }
    std::string Log() const { return listener.log.join('\n').toStdString(); }

    TRecordingListener listener;
    TRecordingObserver observer;
    TDeviceLink link{listener};
    std::unique_ptr<r7730::testing::SimulatorProcess> simulator;
};

} // namespace

TEST_F(DeviceLinkAlone, AStatusReadComesBackAsADecodedValue)
{
    Connect({"--quiet"});
    EXPECT_FALSE(link.StatusReceived());
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return !listener.statuses.empty(); })) << Log();
    EXPECT_TRUE(link.StatusReceived());
    EXPECT_EQ(listener.statuses[0].deviceName, u"R7730LX");
    EXPECT_EQ(listener.statuses[0].listenPort, u"8080");
    EXPECT_TRUE(listener.log.contains("TX 0x41 : [5][7E.05.41.50.FE.]")) << Log();
    EXPECT_TRUE(listener.log.contains("[EOT]"));
}

TEST_F(DeviceLinkAlone, TheFrameObserverSeesAStatusExchangeInOrder)
{
    Connect({"--quiet"});
    link.AddFrameObserver(observer);
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return !listener.statuses.empty(); })) << Log();
    using enum TFrameDirection;
    EXPECT_EQ(observer.Records(), (std::vector<TRecordingObserver::TRecord>{
                                      {Sent, TFrameKind::Frame, r7730::testing::hex("7E 05 41 50 FE")},
                                      {Received, TFrameKind::Frame, r7730::testing::kFactoryStatusReply},
                                  }));
    ASSERT_EQ(observer.frames.size(), 2u);
    EXPECT_LT(observer.frames[0].monotonic, observer.frames[1].monotonic);
    EXPECT_LE(observer.frames[0].wallClock, observer.frames[1].wallClock);

    // Once removed, it sees nothing more.
    link.RemoveFrameObserver(observer);
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return listener.statuses.size() == 2; })) << Log();
    EXPECT_EQ(observer.frames.size(), 2u);
}

TEST_F(DeviceLinkAlone, TheTransmitAndReceiveLinesComeWithTheirFrames)
{
    Connect({"--quiet"});
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return !listener.statuses.empty(); })) << Log();
    ASSERT_EQ(listener.frameLines.size(), 2u) << Log();
    EXPECT_EQ(listener.frameLines[0], std::make_tuple(QString("TX 0x41 : [5][7E.05.41.50.FE.]"), TFrameDirection::Sent,
                                                      r7730::testing::hex("7E 05 41 50 FE")));
    const auto& [rxLine, rxDirection, rxBytes] = listener.frameLines[1];
    EXPECT_TRUE(rxLine.startsWith("RX MSG ID:[0x41] LEN:[")) << rxLine.toStdString();
    EXPECT_EQ(rxDirection, TFrameDirection::Received);
    EXPECT_EQ(rxBytes, r7730::testing::kFactoryStatusReply);
    // The lines around them name no frame.
    EXPECT_TRUE(listener.log.contains("[EOT]")) << Log();
}

TEST_F(DeviceLinkAlone, AFrameThatCouldNotBeWrittenNamesNoFrame)
{
    Connect({"--quiet", "--hangup-after", "1", "--replug-ms", "60000"});
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return listener.lost > 0; })) << Log();
    const std::size_t framesBefore = listener.frameLines.size();
    link.ReadCurrentStatus();
    EXPECT_EQ(listener.log.mid(listener.log.size() - 2),
              (QStringList{"TX 0x41 : [5][7E.05.41.50.FE.]", "Serial Port ERROR!!"}));
    EXPECT_EQ(listener.frameLines.size(), framesBefore);
}

TEST_F(DeviceLinkAlone, AnUnregisteredIdIsAnsweredWithAStatusRead)
{
    // The simulator puts a frame of ID 0x5A before its first reply.
    Connect({"--quiet", "--unknown-id", "5A"});
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return listener.statuses.size() == 2; })) << Log();
    EXPECT_TRUE(listener.log.contains("Message ID:[0x5A] is Unregistered.")) << Log();
    EXPECT_EQ(listener.log.count("TX 0x41 : [5][7E.05.41.50.FE.]"), 2);
}

TEST_F(DeviceLinkAlone, AHangUpIsReportedOnceAndAClosedPortRefusesToSend)
{
    Connect({"--quiet", "--hangup-after", "1", "--replug-ms", "60000"});
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return listener.lost > 0; })) << Log();
    EXPECT_TRUE(listener.log.join('\n').contains("hung up")) << Log();
    link.Close();
    QTest::qWait(50);
    EXPECT_EQ(listener.lost, 1);

    link.ReadCurrentStatus();
    EXPECT_EQ(listener.log.mid(listener.log.size() - 2),
              (QStringList{"refused: 단말기의 Serial Port 상태를 확인하십시오.", "단말기의 Serial Port 상태를 확인하십시오."}));
}

namespace {
const QString kPacedNote = "the device keeps answering with unknown message IDs; status reads paced to one a second";
const QString kStatusRead = "TX 0x41 : [5][7E.05.41.50.FE.]";
} // namespace

TEST_F(DeviceLinkAlone, ADeviceThatAnswersWithJunkIsNotAskedOverAndOver)
{
    // Each reply comes with something the program cannot take: a junk frame in front, CR LF in
    // front (the reply itself is lost in an unregistered frame), or a 254 inside a stored mask
    // (the reply is cut and its rest is an unregistered frame). Whatever the device does, the
    // reads stay within a hundred at once and then one a second.
    struct TCase {
        const char* name;
        std::vector<std::string> options;
        std::string state;
    };
    const TCase cases[] = {
        {"junk frame before every reply", {"--garbage", "7E.00.FE.7E.7E"}, ""},
        {"CR LF before every reply", {"--garbage", "0D.0A"}, ""},
        {"reply cut by a stored 254", {"--send-254"}, "mask = 255.255.254.0\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        std::vector<std::string> options = {"--quiet"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        if (!c.state.empty()) {
            const QString state = folder.filePath("state.txt");
            QFile file(state);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.state.c_str());
            file.close();
            options.insert(options.end(), {"--state-file", state.toStdString()});
        }
        listener.log.clear();
        Connect(options);
        link.ReadCurrentStatus();
        ASSERT_TRUE(WaitFor([&] { return listener.log.count(kStatusRead) >= 2; })) << Log();
        QTest::qWait(2500);
        EXPECT_LE(listener.log.count(kStatusRead), TAutomaticStatusReads::kAtOnce + 4) << "100 at once, then one a second";
        EXPECT_LE(listener.log.count(kPacedNote), 1);
        link.Close();
    }
}

namespace {

// A line the test writes itself: unregistered frames, status replies and noise, in bursts.
class DeviceLinkUnderNoise : public DeviceLinkAlone {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(line.IsOpen());
        link.Port().SetPort(line.SlavePath().toStdString());
        ASSERT_EQ(link.Open(), std::nullopt);
        ASSERT_TRUE(link.Port().Connected());
    }
    void TearDown() override { link.Close(); }
    // `count` times a junk frame, then a status reply: each junk frame finds no read in flight.
    void JunkThenReplies(int count)
    {
        QByteArray bytes;
        for (int i = 0; i < count; ++i) {
            bytes += QByteArray::fromHex("7E00FE7E7E");
            bytes += QByteArray(reinterpret_cast<const char*>(kStatusReply.data()), kStatusReply.size());
        }
        line.Write(bytes);
    }
    qsizetype Reads() const { return listener.log.count(kStatusRead); }

    r7730::testing::TPseudoTerminal line;
};

} // namespace

TEST_F(DeviceLinkUnderNoise, AHundredReadsGoAtOnceThenOneASecondUntilAQuietSecond)
{
    JunkThenReplies(150);
    ASSERT_TRUE(WaitFor([&] { return listener.statuses.size() == 150; })) << Log();
    EXPECT_EQ(Reads(), TAutomaticStatusReads::kAtOnce);
    EXPECT_EQ(listener.log.count(kPacedNote), 1);
    // The one paced read waiting goes out a second after the last; its answer is quiet.
    ASSERT_TRUE(WaitFor([&] { return Reads() == TAutomaticStatusReads::kAtOnce + 1; })) << Log();
    line.Write(QByteArray(reinterpret_cast<const char*>(kStatusReply.data()), kStatusReply.size()));
    QTest::qWait(1500);
    EXPECT_EQ(Reads(), TAutomaticStatusReads::kAtOnce + 1);

    // After a quiet second a new episode: a hundred at once again, and one more note.
    JunkThenReplies(150);
    ASSERT_TRUE(WaitFor([&] { return listener.statuses.size() == 301; })) << Log();
    EXPECT_EQ(Reads(), 2 * TAutomaticStatusReads::kAtOnce + 1);
    EXPECT_EQ(listener.log.count(kPacedNote), 2);

    // Closed while a paced read waits: nothing goes out, nothing is refused.
    link.Close();
    const qsizetype closedAt = listener.log.size();
    QTest::qWait(1500);
    EXPECT_EQ(listener.log.mid(closedAt), QStringList{}) << Log();
}

TEST_F(DeviceLinkUnderNoise, RandomNoiseDrivesNoMoreThanAHundredReadsAndOneASecond)
{
    std::mt19937 random(7730);
    QByteArray noise;
    for (int i = 0; i < 200'000; ++i) {
        const auto pick = random() % 64;
        noise += pick == 0 ? '\x7E' : pick == 1 ? '\xFE' : static_cast<char>(random() % 256);
        if (i % 500 == 0)
            noise += QByteArray(reinterpret_cast<const char*>(kStatusReply.data()), kStatusReply.size());
    }
    // Written from a thread of its own: the event loop must run to take it in.
    std::thread writer([&] { line.Write(noise); });
    QTest::qWait(2500);
    writer.join();
    EXPECT_LE(Reads(), TAutomaticStatusReads::kAtOnce + 3) << "100 at once, then at most one a second";
    EXPECT_LE(listener.log.count(kPacedNote), 1);
}

TEST_F(DeviceLinkUnderNoise, TheFrameObserverSeesDiscardedAndOverflowedBytesWithTheirKinds)
{
    link.AddFrameObserver(observer);
    // A stray byte that the start byte after it discards, a frame, then one too long for the buffer.
    QByteArray bytes = QByteArray::fromHex("337E054750FE7E");
    bytes += QByteArray(kRxBufferSize + 7, 'A');
    bytes += QByteArray::fromHex("FE");
    line.Write(bytes);
    ASSERT_TRUE(WaitFor([&] { return observer.frames.size() == 4; })) << Log();
    using enum TFrameKind;
    const auto received = TFrameDirection::Received;
    EXPECT_EQ(observer.Records(), (std::vector<TRecordingObserver::TRecord>{
                                      {received, Discarded, r7730::testing::hex("33")},
                                      {received, Frame, r7730::testing::hex("7E 05 47 50 FE")},
                                      {received, Overflowed, r7730::testing::Bytes(8193, 0x41)},
                                      {received, Overflowed, r7730::testing::hex("41 41 41 41 41 41 FE")},
                                  }));
    EXPECT_TRUE(listener.log.contains("Frame dropped: 8193 bytes without an end byte exceed the receive buffer of "
                                      "8192 bytes; the rest of it is skipped up to its end byte"))
        << Log();
}
