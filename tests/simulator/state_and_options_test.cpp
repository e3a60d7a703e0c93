// The state file and the command line of the simulator.
#include "device_state.h"
#include "options.h"
#include "support/device_frames.h"

#include <gtest/gtest.h>

using namespace r7730::testing;

TEST(SimulatorStateFile, WritesReadableTextAndReadsItBack)
{
    sim::DeviceState state;
    state.mask = {255, 255, 254, 0};
    state.tcpMode = 'C';
    state.baudIndex = 3;
    state.ssid = hex("BF EC B8 AE C1 FD");
    state.password = text("pass1234");
    const std::string written = sim::stateToText(state);
    EXPECT_NE(written.find("mask = 255.255.254.0\n"), std::string::npos);
    EXPECT_NE(written.find("serial = 3,3,0,0,1\n"), std::string::npos);
    EXPECT_NE(written.find("ssid = BF.EC.B8.AE.C1.FD.\n"), std::string::npos);
    EXPECT_NE(written.find("mode = C\n"), std::string::npos);
    EXPECT_EQ(sim::stateFromText(written, "state.txt"), state);
}

TEST(SimulatorStateFile, BadLinesAreNamedWithTheirNumber)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"model = 2\nip = 192.168.0.300\n", "state.txt, line 2: \"192.168.0.300\" is not an address like 192.168.0.10 (key ip)"},
        {"# comment\n\nserial = 7,4,0,0,1\n", "state.txt, line 3: \"7,4,0,0,1\" is not five indexes baud,data,stop,parity,flow like 7,3,0,0,1 (key serial)"},
        {"colour = blue\n", "state.txt, line 1: unknown key \"colour\""},
        {"listen_port 8080\n", "state.txt, line 1: expected \"key = value\", found \"listen_port 8080\""},
        {"mode = X\n", "state.txt, line 1: \"X\" is not S or C (key mode)"},
    };
    for (const auto& [content, message] : cases) {
        try {
            sim::stateFromText(content, "state.txt");
            ADD_FAILURE() << "accepted: " << content;
        } catch (const sim::StateFileError& error) {
            EXPECT_EQ(std::string(error.what()), message);
        }
    }
}

TEST(SimulatorOptions, ReadsValuesInBothSpellings)
{
    const sim::ParsedOptions parsed = sim::parseOptions(
        {"--link", "run/dev/R7730LX", "--chunks=1,4,10", "--garbage", "00.13.37", "--merge=2", "--unknown-id", "5A",
         "--status-length", "30", "--model=1", "--flood", "2.5", "--store-wrong", "mask", "--line-follows-serial", "--quiet",
         "--units", "3", "--store-wrong=2:ip", "--no-return", "3", "--no-return=1", "--take-away-ms", "200", "--next-unit-ms=0"});
    ASSERT_EQ(parsed.error, "");
    const sim::Options& o = parsed.options;
    EXPECT_EQ(o.linkPath, "run/dev/R7730LX");
    EXPECT_EQ(o.chunkSizes, (std::vector<std::size_t>{1, 4, 10}));
    EXPECT_EQ(o.garbage, hex("00 13 37"));
    EXPECT_EQ(o.mergeCount, 2);
    EXPECT_EQ(o.unknownId, std::optional<std::uint8_t>(0x5A));
    EXPECT_EQ(o.statusLength, std::optional<std::size_t>(30));
    EXPECT_EQ(o.modelCode, std::optional<std::uint8_t>(1));
    EXPECT_DOUBLE_EQ(o.floodRate, 2.5);
    EXPECT_EQ(o.storeWrong, (std::vector<sim::StoreWrong>{{0, "mask"}, {2, "ip"}}));
    EXPECT_EQ(o.unitCount, 3);
    EXPECT_EQ(o.noReturnUnits, (std::vector<int>{3, 1}));
    EXPECT_EQ(o.takeAwayMs, 200);
    EXPECT_EQ(o.nextUnitMs, 0);
    EXPECT_TRUE(o.lineFollowsSerial);
    EXPECT_TRUE(o.quiet);
}

TEST(SimulatorOptions, WrongArgumentsGetAMessageNamingThem)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--delay", "soon"}, "--delay expects a whole number from 0 to 600000, not \"soon\""},
        {{"--chunks=1,,4"}, "--chunks expects sizes from 1 to 4096 separated by commas, like 1,4,10, not \"1,,4\""},
        {{"--status-length", "4"}, "--status-length expects a whole number from 5 to 255, not \"4\""},
        {{"--model", "254"}, "--model cannot be 254: 0xFE would end the status reply early, not \"254\""},
        {{"--model", "256"}, "--model expects a whole number from 0 to 255, not \"256\""},
        {{"--unknown-id", "5A5B"}, "--unknown-id expects one byte in hex, like 5A, not \"5A5B\""},
        {{"--link"}, "--link needs a value"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--store-wrong", "colour"}, "--store-wrong expects a setting such as mask, listen_port or serial, not \"colour\""},
        {{"--colour"}, "unknown option --colour"},
        {{"--units", "1001"}, "--units expects a whole number from 1 to 1000, not \"1001\""},
        {{"--store-wrong", "0:ip"}, "--store-wrong expects a unit number from 1 to 1000 before the colon, like 2:ip, not \"0:ip\""},
        {{"--store-wrong", "2:colour"}, "--store-wrong expects a setting such as mask, listen_port or serial, not \"2:colour\""},
        {{"--units", "3", "--store-wrong", "4:ip"}, "--store-wrong names unit 4, but the bench has units 1 to 3 (--first-unit, --units)"},
        {{"--store-wrong", "2:ip"}, "--store-wrong names unit 2, but the bench has unit 1 (--first-unit, --units)"},
        {{"--no-return", "1"}, "--no-return only applies with --units"},
        {{"--take-away-ms", "100"}, "--take-away-ms only applies with --units"},
        {{"--units", "2", "--no-return", "5"}, "--no-return names unit 5, but the bench has units 1 to 2 (--first-unit, --units)"},
        {{"--units", "2", "--first-unit", "4", "--no-return", "3"},
         "--no-return names unit 3, but the bench has units 4 to 5 (--first-unit, --units)"},
        {{"--units", "5", "--first-unit", "999"}, "--first-unit 999 with --units 5 goes beyond unit 1000"},
        {{"--first-unit", "2"}, "--first-unit only applies with --units"},
        {{"--state-file", "state.txt", "--units", "2"}, "--state-file cannot go with --units: every unit starts from its own factory settings"},
    };
    for (const auto& [arguments, message] : cases)
        EXPECT_EQ(sim::parseOptions(arguments).error, message);
}
