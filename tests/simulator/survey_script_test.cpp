// The scripted survey of the simulator: its options, and the signal and scan replies it gives.
#include "device_model.h"
#include "options.h"
#include "support/device_frames.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

using namespace r7730::testing;

namespace {

std::string writeFile(const QTemporaryDir& folder, const char* name, const std::string& content)
{
    const std::string path = folder.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

Bytes signalReplyOf(sim::DeviceModel& model)
{
    const sim::CommandOutcome outcome = model.handle(hex("7E 05 4A 50 FE"));
    return outcome.replies.empty() ? Bytes{} : outcome.replies.front();
}

} // namespace

TEST(SimulatorSurveyScript, OptionsGiveTheSignalValuesAndAccessPoints)
{
    const QTemporaryDir folder;
    const std::string trace = writeFile(folder, "trace.txt", "-70 -62 # first two\nNOINFO\n\n-55\n");
    const std::string points = writeFile(folder, "aps.txt", "# channel,rssi,auth,ssid\n1,-52,WPA2-PSK,Office-2G\n"
                                                           "6,-60,OPEN,Lab, second floor\n11,-45,WPA/WPA2,회의실\n");
    using Values = sim::SignalValues;
    EXPECT_EQ(sim::parseOptions({"--signal-ramp=-80,-40,5"}).options.signalScript, (Values{-80, -70, -60, -50, -40}));
    EXPECT_EQ(sim::parseOptions({"--signal-ramp", "-40,-80,3"}).options.signalScript, (Values{-40, -60, -80}));
    EXPECT_EQ(sim::parseOptions({"--signal-ramp", "-80,-40,4"}).options.signalScript, (Values{-80, -67, -53, -40}));
    EXPECT_EQ(sim::parseOptions({"--signal-file", trace}).options.signalScript, (Values{-70, -62, std::nullopt, -55}));

    const sim::ParsedOptions parsed = sim::parseOptions({"--access-points", points});
    ASSERT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.options.accessPoints.size(), 3u);
    EXPECT_EQ(parsed.options.accessPoints[1].ssid, text("Lab, second floor"));
    EXPECT_EQ(parsed.options.accessPoints[1].channel, 6);
    EXPECT_EQ(parsed.options.accessPoints[1].rssi, -60);
    EXPECT_EQ(parsed.options.accessPoints[1].authMode, "OPEN");
    EXPECT_EQ(parsed.options.accessPoints[2].ssid, hex("C8 B8 C0 C7 BD C7")); // 회의실 in CP949

    const std::string bad = writeFile(folder, "bad.txt", "-70\n-71 loud\n");
    const std::string badPoints = writeFile(folder, "bad-aps.txt", "1,-52,WPA2-PSK,A\n0,-60,OPEN,B\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--signal-ramp", "-80,-40"}, "--signal-ramp expects FROM,TO,STEPS, like -80,-40,60, not \"-80,-40\""},
        {{"--signal-ramp", "-80,-40,1"}, "--signal-ramp expects from 2 to 100000 steps, not \"-80,-40,1\""},
        {{"--signal-ramp", "-80,5,10"}, "--signal-ramp expects RSSI values from -999 to 0 dBm, not \"-80,5,10\""},
        {{"--signal-file", bad}, "--signal-file line 2: \"loud\" is neither an RSSI from -999 to 0 nor NOINFO, not \"" + bad + "\""},
        {{"--access-points", badPoints}, "--access-points line 2: the channel is a whole number from 1 to 999, not \"" + badPoints + "\""},
    };
    for (const auto& [arguments, message] : refused)
        EXPECT_EQ(sim::parseOptions(arguments).error, message);
}

TEST(SimulatorSurveyScript, TheSignalAdvancesOneStepPerReplyAndStartsAgain)
{
    sim::ModelQuirks quirks;
    quirks.signal = std::make_shared<sim::ScriptedSignal>(sim::SignalValues{-70, std::nullopt, -100});
    quirks.accessPoints = {{text("Lab"), 6, -60, "OPEN"}, {text("Guest"), 11, -80, "OPEN"}};
    sim::DeviceModel model(sim::DeviceState{}, quirks);
    // Set to no access point: the first of the list is reported as the joined one.
    const Bytes lab = join({hex("7E 2B 4A 50"), blanks(29), text("Lab")});
    EXPECT_EQ(signalReplyOf(model), join({lab, text("  -70 "), hex("FE")}));
    EXPECT_EQ(signalReplyOf(model), join({lab, text("NOINFO"), hex("FE")}));
    EXPECT_EQ(signalReplyOf(model), join({lab, text(" -100 "), hex("FE")}));
    EXPECT_EQ(signalReplyOf(model), join({lab, text("  -70 "), hex("FE")}));

    const sim::CommandOutcome scan = model.handle(hex("7E 05 48 50 FE"));
    ASSERT_EQ(scan.replies.size(), 1u);
    EXPECT_EQ(scan.replies.front(), join({hex("7E 6E 48 50"), text("2"), blanks(29), text("Lab"), text("   6 -60"),
                                          blanks(8), text("OPEN"), blanks(27), text("Guest"), text("  11 -80"), blanks(8),
                                          text("OPEN"), hex("FE")}));
}
