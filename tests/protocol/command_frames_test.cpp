// Every command frame against its bytes written out by hand.
#include <gtest/gtest.h>

#include "protocol/command_frames.h"
#include "support/device_frames.h"

using namespace r7730;
using r7730::testing::hex;

namespace {

struct TFrameCase {
    const char* name;
    TFrame frame;
    const char* expected;
};

TAccessPoint AbWithEightCharacterPassword()
{
    return {"ab", "pass1234"};
}

TFirmwareDownload DownloadOfATwentyCharacterName()
{
    return {{192, 168, 0, 5}, 8070, "/firmware/R7730.bin1"};
}

} // namespace

TEST(CommandFrames, EveryCommandHasItsBytes)
{
    const TFrameCase cases[] = {
        {"status read", BuildReadRequest(TMessageId::CurrentStatusRead), "7E 05 41 50 FE"},
        {"signal read", BuildReadRequest(TMessageId::ReadSignalStrength), "7E 05 4A 50 FE"},
        {"WAN", BuildSaveWan({{192, 168, 0, 10}, {192, 168, 0, 1}, {255, 255, 255, 0}}),
         "7E 11 43 50 C0 A8 00 0A C0 A8 00 01 FF FF FF 00 FE"},
        {"TCP server, extreme ports", BuildSaveTcp({65535, 255, TTcpMode::Server, 1, {10, 0, 0, 2}}),
         "7E 0F 44 50 FF FF FF 53 00 01 0A 00 00 02 FE"},
        {"TCP client", BuildSaveTcp({8070, 30, TTcpMode::Client, 502, {192, 168, 0, 100}}),
         "7E 0F 44 50 1F 86 1E 43 01 F6 C0 A8 00 64 FE"},
        {"serial 9600/8/Even/2/None", BuildSaveSerial({3, 3, 1, 2, 1}), "7E 0B 45 50 33 33 31 32 31 46 FE"},
        {"serial without a selection", BuildSaveSerial({-1, 3, 0, 0, 16}), "7E 0B 45 50 30 33 30 30 30 46 FE"},
        {"set access point", BuildSetAccessPoint(AbWithEightCharacterPassword()),
         "7E 35 42 50 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20"
         " 61 62 20 20 20 20 20 20 20 20 70 61 73 73 31 32 33 34 FE"},
        {"factory reset", BuildFactoryReset(TMessageId::FactoryReset), "7E 06 46 50 4E FE"},
        {"reboot", BuildSystemReboot(), "7E 05 47 50 FE"},
        {"flash save 3000 and 10", BuildFlashSave({3000, 10}), "7E 08 53 50 0B B8 0A FE"},
        {"flash erase", BuildFlashErase(TMessageId::FlashErase), "7E 05 58 50 FE"},
        {"firmware download", BuildFirmwareDownload(DownloadOfATwentyCharacterName()),
         "7E 2B 55 50 C0 A8 00 05 1F 86 20 20 20 20 20 20 20 20 20 20 20 20"
         " 2F 66 69 72 6D 77 61 72 65 2F 52 37 37 33 30 2E 62 69 6E 31 FE"},
    };
    for (const TFrameCase& c : cases)
        EXPECT_EQ(c.frame, hex(c.expected)) << c.name;
}

TEST(CommandFrames, TextsLongerThanTheirFieldKeepTheirFirstBytes)
{
    const std::string ssid33(33, 'S');
    const TFrame frame = BuildSetAccessPoint({ssid33, std::string(20, 'p')});
    ASSERT_EQ(frame.size(), 53u);
    EXPECT_EQ(std::string(frame.begin() + 4, frame.begin() + 36), std::string(32, 'S'));
    EXPECT_EQ(std::string(frame.begin() + 36, frame.begin() + 52), std::string(16, 'p'));
}
