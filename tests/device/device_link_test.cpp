// The device link without a window, against the simulated device: what a command-line front end
// sees through its listener.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "device/device_link.h"
#include "support/qt_printers.h"
#include "support/simulator_process.h"

using namespace r7730;

namespace {

class TRecordingListener : public IDeviceListener {
public:
    void LogLine(const QString& line) override { log << line; }
    void SendRefused(const QString& text) override { log << "refused: " + text; }
    void StatusReplied(const TStatusReply& reply) override { statuses.push_back(reply); }
    void ScanReplied(const TScanReply&) override {}
    void CurrentApReplied(const TCurrentApReply&) override {}
    void SignalReplied(const TSignalReply&) override {}
    void DeviceLost() override { ++lost; }

    QStringList log;
    std::vector<TStatusReply> statuses;
    int lost = 0;
};

class DeviceLinkAlone : public ::testing::Test {
protected:
    // Connects to a simulator started with these options, wiring the port's events the way a
    // front end does.
    void Connect(std::vector<std::string> options)
    {
        simulator = std::make_unique<r7730::testing::SimulatorProcess>(std::move(options));
        TComPort& port = link.Port();
        port.OnRxChar = [this](TCustomComPort&, int count) { link.ReadAvailable(count); };
        port.OnHangUp = [this](TCustomComPort&) { link.ReportHangUp(); };
        port.SetPort(simulator->linkPath());
        port.OpenPort();
        ASSERT_TRUE(port.Connected());
    }
    bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 5000); }
    std::string Log() const { return listener.log.join('\n').toStdString(); }

    TRecordingListener listener;
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
    link.Port().ClosePort();
    QTest::qWait(50);
    EXPECT_EQ(listener.lost, 1);

    link.ReadCurrentStatus();
    EXPECT_EQ(listener.log.mid(listener.log.size() - 2),
              (QStringList{"refused: 단말기의 Serial Port 상태를 확인하십시오.", "단말기의 Serial Port 상태를 확인하십시오."}));
}

TEST_F(DeviceLinkAlone, ReadsThatKeepMeetingUnknownIdsArePacedUntilTheUserSendsACommand)
{
    // CR LF before every reply makes each one an unregistered frame, answered with a status read.
    Connect({"--quiet", "--garbage", "0D.0A"});
    const QString note = "the device keeps answering with unknown message IDs; status reads paced to one a second";
    const QString read = "TX 0x41 : [5][7E.05.41.50.FE.]";
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return listener.log.contains(note); })) << Log();
    EXPECT_EQ(listener.log.count(read), 101) << "the user's read and 100 answers at once";
    QTest::qWait(500);
    EXPECT_LE(listener.log.count(read), 102);
    EXPECT_EQ(listener.log.count(note), 1);
    EXPECT_TRUE(listener.statuses.empty());

    // A command of the user starts a fresh episode: answers at once again, then one note.
    const int before = static_cast<int>(listener.log.count(read));
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] { return listener.log.count(note) == 2; })) << Log();
    EXPECT_GE(listener.log.count(read), before + 101);
}

TEST_F(DeviceLinkAlone, AStatusReplyCutByA254InsideIsPacedToo)
{
    // A mask of 255.255.254.0 sent as it is: the reply ends at its 254, and its rest is read as a
    // frame of an unknown ID, answered with a status read, whose reply is cut again.
    QTemporaryDir folder;
    const QString state = folder.filePath("state.txt");
    {
        QFile file(state);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("mask = 255.255.254.0\n");
    }
    Connect({"--quiet", "--send-254", "--state-file", state.toStdString()});
    link.ReadCurrentStatus();
    ASSERT_TRUE(WaitFor([&] {
        return listener.log.contains("the device keeps answering with unknown message IDs; status reads paced to one a second");
    })) << Log();
    EXPECT_TRUE(listener.log.join('\n').contains("RX MSG ID:[0x41] LEN:[24]")) << "the cut reply";
    EXPECT_TRUE(listener.statuses.empty());
}
