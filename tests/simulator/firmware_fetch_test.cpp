// The simulated device told to download firmware: it fetches only from 127.0.0.0/8, and a fetch
// that finds no server leaves its firmware as it was.
#include <gtest/gtest.h>

#include "support/simulator_process.h"

using r7730::testing::hex;
using r7730::testing::runSimulatorOnce;
using r7730::testing::SimulatorProcess;

namespace {

// 0x55 naming server A.B.C.D (hex octets), port 8070 and "/fw.bin" with 25 blanks in front.
std::string DownloadFrame(const std::string& server)
{
    std::string blanks;
    for (int i = 0; i < 25; ++i)
        blanks += " 20";
    return "7E 2B 55 50 " + server + " 1F 86" + blanks + " 2F 66 77 2E 62 69 6E FE";
}

} // namespace

TEST(SimulatorFirmwareFetch, NeverFetchesFromOutsideLoopback)
{
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.openPort());
    simulator.send(hex(DownloadFrame("C0 A8 00 05")));
    EXPECT_TRUE(simulator.logContains("firmware download requested from http://192.168.0.5:8070/fw.bin"));
    EXPECT_TRUE(simulator.logContains("not fetched: the simulator fetches firmware only from 127.0.0.0/8"));
    simulator.send(hex("7E 05 41 50 FE"));
    EXPECT_TRUE(simulator.logContains("TX 0x41 [43][7E.2B.41.50.02.01.03."));
}

TEST(SimulatorFirmwareFetch, KeepsItsFirmwareWhenNoServerAnswers)
{
    // Port 8070 of 127.0.0.9: nothing of this test listens there.
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.openPort());
    simulator.send(hex(DownloadFrame("7F 00 00 09")));
    EXPECT_TRUE(simulator.logContains("fetching http://127.0.0.9:8070/fw.bin"));
    EXPECT_TRUE(simulator.logContains("firmware not installed: the old one keeps running"));
    simulator.send(hex("7E 05 41 50 FE"));
    EXPECT_TRUE(simulator.logContains("TX 0x41 [43][7E.2B.41.50.02.01.03."));
}

TEST(SimulatorFirmwareFetch, RefusesUnknownTrialsAndVersions)
{
    std::string output;
    EXPECT_EQ(runSimulatorOnce({"--firmware-fetch", "sometimes"}, output), 2);
    EXPECT_NE(output.find("--firmware-fetch expects whole, halfway, wrong-name or never, not \"sometimes\""), std::string::npos) << output;
    EXPECT_EQ(runSimulatorOnce({"--new-version", "1.x"}, output), 2);
    EXPECT_NE(output.find("--new-version expects a version like 1.4 (each number 0 to 253), not \"1.x\""), std::string::npos) << output;
}
