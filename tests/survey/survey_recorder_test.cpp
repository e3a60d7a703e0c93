// The recorder on a device link to the simulated device: every signal and scan reply becomes part
// of the session, whoever asked, and each reading says who did.
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

#include "device/device_session.h"
#include "device/frame_store.h"
#include "support/log_only_listener.h"
#include "support/simulator_process.h"
#include "survey/survey_recorder.h"

using namespace r7730;

namespace {

// The device session a test's recorder watches, open on the simulated device.
struct TRecordedDevice {
    explicit TRecordedDevice(const std::vector<std::string>& options) : simulator(options)
    {
        device.Link().Port().SetPort(simulator.linkPath());
        opened = !device.Open().has_value();
    }
    r7730::testing::SimulatorProcess simulator;
    r7730::testing::TLogOnlyListener frontEnd;
    TDeviceSession device{frontEnd, 2000};
    bool opened = false;
};

} // namespace

TEST(SurveyRecorder, TakesEveryReplyOnTheLinkAndTellsWhoAsked)
{
    const QTemporaryDir folder;
    const std::string trace = folder.filePath("trace.txt").toStdString();
    std::ofstream(trace) << "-70 -62 NOINFO -55\n";
    TRecordedDevice recorded({"--quiet", "--signal-file", trace});
    ASSERT_TRUE(recorded.opened);
    TDeviceSession& device = recorded.device;
    const auto& frontEnd = recorded.frontEnd;

    TSurveySession session;
    TSurveyRecorder recorder(device.Link(), session);
    int changes = 0;
    recorder.SetOnChange([&](TSurveyRecorder::TChange) { ++changes; });

    // Somebody else's read, then the survey's own waiting read.
    ASSERT_TRUE(device.ReadSignal().has_value());
    recorder.AsSurvey([&] { ASSERT_TRUE(device.ReadSignal().has_value()); });
    // Two requests out at once, somebody else's first: the device answers in order.
    device.Link().ReadRequest(TMessageId::ReadSignalStrength);
    EXPECT_TRUE(recorder.ReadSignal());
    EXPECT_TRUE(recorder.AwaitingSignal());
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.Samples().size() == 4; }, 5000)) << frontEnd.log.join('\n').toStdString();
    EXPECT_FALSE(recorder.AwaitingSignal());
    EXPECT_TRUE(recorder.Scan());
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.Scans() == 1; }, 5000));

    const std::vector<std::pair<std::optional<int>, TAsker>> expected = {
        {-70, TAsker::Other}, {-62, TAsker::Survey}, {std::nullopt, TAsker::Other}, {-55, TAsker::Survey}};
    ASSERT_EQ(session.Samples().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(session.Samples()[i].Rssi(), expected[i].first) << i;
        EXPECT_EQ(session.Samples()[i].asker, expected[i].second) << i;
    }
    EXPECT_EQ(session.JoinedSsid(), "Office-2G"); // the first access point of the simulator's list
    EXPECT_EQ(session.AccessPoints().size(), 5u);
    EXPECT_EQ(session.Sightings().front().asker, TAsker::Survey);
    EXPECT_EQ(changes, 5);

    // A closed port: nothing is sent, so the link has nothing to refuse.
    device.Link().Close();
    EXPECT_FALSE(recorder.ReadSignal());
    EXPECT_FALSE(recorder.Scan());
}

TEST(SurveyRecorder, AnOwnSignalReadGivenUpIsAGapAndItsLateReplyStillAReading)
{
    // Every reply comes 600 ms after its read.
    TRecordedDevice recorded({"--quiet", "--delay", "600"});
    ASSERT_TRUE(recorded.opened);
    TSurveySession session;
    TSurveyRecorder recorder(recorded.device.Link(), session);

    ASSERT_TRUE(recorder.ReadSignal());
    recorder.GiveUpSignals(std::chrono::milliseconds(1000));
    EXPECT_TRUE(recorder.AwaitingSignal()) << "not yet a second old";
    QTest::qWait(200);
    recorder.GiveUpSignals(std::chrono::milliseconds(100));
    recorder.GiveUpSignals(std::chrono::milliseconds(100));
    EXPECT_FALSE(recorder.AwaitingSignal());
    EXPECT_EQ(session.Gaps(), 1) << "one read, one gap";
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.Samples().size() == 1; }, 3000));
    EXPECT_EQ(session.Samples()[0].asker, TAsker::Survey);
}

TEST(SurveyRecorder, NamesTheSameAskerAsTheFramesWindowForAReplyTwoSecondsLate)
{
    TRecordedDevice recorded({"--quiet", "--delay", "2000"});
    ASSERT_TRUE(recorded.opened);
    TDeviceLink& link = recorded.device.Link();
    TFrameStore store;
    link.AddFrameObserver(store);
    TSurveySession session;
    TSurveyRecorder recorder(link, session);

    // The survey's read, then somebody else's: each answered two seconds later, in order.
    ASSERT_TRUE(recorder.ReadSignal());
    link.ReadRequest(TMessageId::ReadSignalStrength);
    const bool answered = QTest::qWaitFor([&] { return session.Samples().size() == 2; }, 5000);
    link.RemoveFrameObserver(store);
    ASSERT_TRUE(answered);

    ASSERT_EQ(store.Size(), 4u);
    EXPECT_EQ(store.At(2).answers, std::optional<std::uint64_t>(1));
    EXPECT_EQ(store.At(3).answers, std::optional<std::uint64_t>(2));
    EXPECT_GE(store.At(2).latency.value_or(std::chrono::microseconds(0)), std::chrono::milliseconds(2000));
    EXPECT_EQ(session.Samples()[0].asker, TAsker::Survey) << "the answer to frame 1, the survey's read";
    EXPECT_EQ(session.Samples()[1].asker, TAsker::Other) << "the answer to frame 2, somebody else's";
}
