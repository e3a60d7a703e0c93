// The simulated device's command handling, without a pseudo-terminal.
#include "device_model.h"
#include "support/device_frames.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace r7730::testing;
using sim::CommandOutcome;
using sim::DeviceModel;
using sim::DeviceState;

namespace {

// A reply must not hold 0xFE anywhere but at its end: the receiver ends a frame at the first one.
bool endsOnlyAtItsLastByte(const Bytes& reply)
{
    return !reply.empty() && reply.back() == 0xFE && std::count(reply.begin(), reply.end(), 0xFE) == 1;
}

Bytes onlyReply(const CommandOutcome& outcome)
{
    EXPECT_EQ(outcome.replies.size(), 1u);
    return outcome.replies.empty() ? Bytes{} : outcome.replies.front();
}

} // namespace

TEST(SimulatorDeviceModel, StatusReplyCarriesTheStateAtItsOffsets)
{
    DeviceModel model{DeviceState{}};
    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 41 50 FE"))), kFactoryStatusReply);

    DeviceState q7760;
    q7760.modelCode = 1;
    q7760.firmwareMinor = 12;
    DeviceModel other{q7760};
    const Bytes reply = onlyReply(other.handle(hex("7E 05 41 50 FE")));
    EXPECT_EQ(reply[4], 0x01);
    EXPECT_EQ(reply[6], 0x0C);
}

TEST(SimulatorDeviceModel, SaveCommandsChangeTheStatusAndAskForAReboot)
{
    DeviceModel model{DeviceState{}};

    CommandOutcome wan = model.handle(hex("7E 11 43 50 0A 00 00 05 0A 00 00 01 FF FF FF 00 FE"));
    EXPECT_TRUE(wan.accepted);
    EXPECT_TRUE(wan.stateChanged);
    EXPECT_TRUE(wan.reboot);
    EXPECT_EQ(onlyReply(wan), hex("7E 05 43 50 FE"));

    CommandOutcome tcp = model.handle(hex("7E 0F 44 50 FF FF 3C 43 00 01 0A 00 00 09 FE"));
    EXPECT_TRUE(tcp.reboot);
    EXPECT_EQ(onlyReply(tcp), hex("7E 05 44 50 FE"));

    // 9600, 8 data bits, 2 stop bits, Even, no flow control (frame order: stop bits before parity).
    CommandOutcome serial = model.handle(hex("7E 0B 45 50 33 33 31 32 31 46 FE"));
    EXPECT_TRUE(serial.reboot);
    EXPECT_EQ(onlyReply(serial), hex("7E 05 45 50 FE"));

    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 41 50 FE"))),
              hex("7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E 0A 00 00 05 0A 00 00 01 FF FF FF 00 FF FF 3C"
                  " 33 33 31 32 31 43 00 01 0A 00 00 09 00 00 FE"));
}

TEST(SimulatorDeviceModel, StoredOctet254IsSentAs253SoTheReplyDoesNotEndEarly)
{
    DeviceModel model{DeviceState{}};
    model.handle(hex("7E 11 43 50 C0 A8 00 FE C0 A8 00 01 FF FF FE 00 FE"));
    EXPECT_EQ(model.state().mask[2], 0xFE); // kept as received
    const CommandOutcome status = model.handle(hex("7E 05 41 50 FE"));
    const Bytes reply = onlyReply(status);
    EXPECT_TRUE(endsOnlyAtItsLastByte(reply));
    EXPECT_EQ(reply[16], 0xFD);
    EXPECT_EQ(reply[23], 0xFD);
    ASSERT_FALSE(status.notes.empty());
    EXPECT_NE(status.notes.front().find("0xFE sent as 0xFD"), std::string::npos);
}

TEST(SimulatorDeviceModel, BadCommandsAreRejectedAndChangeNothing)
{
    DeviceModel model{DeviceState{}};
    const std::vector<Bytes> bad = {
        hex("7E 05 5A 50 FE"),                           // unknown ID
        hex("7E 06 41 50 00 FE"),                        // status read with a payload
        hex("7E 05 41 51 FE"),                           // fixed byte not 0x50
        hex("7E 0B 45 50 41 33 30 30 31 46 FE"),         // baud code 'A' (10)
        hex("7E 0B 45 50 37 34 30 30 31 46 FE"),         // data bits code 4
        hex("7E 0B 45 50 37 33 30 30 31 47 FE"),         // byte 9 not 0x46
        hex("7E 06 46 50 4F FE"),                        // factory reset without 0x4E
        hex("7E 0F 44 50 1F 90 1E 58 13 88 C0 A8 00 64 FE"), // mode 'X'
        hex("7E 12 43 50 C0 A8 00 0A C0 A8 00 01 FF FF FF 00 FE"), // length byte 18 on 17 bytes
    };
    for (const Bytes& frame : bad) {
        const CommandOutcome outcome = model.handle(frame);
        EXPECT_FALSE(outcome.accepted) << sim::hexText(frame);
        EXPECT_TRUE(outcome.replies.empty()) << sim::hexText(frame);
        EXPECT_FALSE(outcome.stateChanged) << sim::hexText(frame);
        ASSERT_FALSE(outcome.notes.empty());
        EXPECT_EQ(outcome.notes.front().rfind("rejected: ", 0), 0u) << outcome.notes.front();
    }
    EXPECT_EQ(model.state(), DeviceState{});
}

TEST(SimulatorDeviceModel, AccessPointIsSetReadBackAndReportsItsSignal)
{
    DeviceModel model{DeviceState{}};
    // Not joined: the signal reply says NOINFO behind a blank SSID field.
    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 4A 50 FE"))),
              join({hex("7E 2B 4A 50"), blanks(32), text("NOINFO"), hex("FE")}));

    const Bytes set = join({hex("7E 35 42 50"), blanks(30), text("ab"), blanks(8), text("pass1234"), hex("FE")});
    const CommandOutcome outcome = model.handle(set);
    EXPECT_TRUE(outcome.reboot);
    EXPECT_EQ(onlyReply(outcome), hex("7E 05 42 50 FE"));

    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 49 50 FE"))),
              join({hex("7E 35 49 50"), blanks(30), text("ab"), blanks(8), text("pass1234"), hex("FE")}));
    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 4A 50 FE"))),
              join({hex("7E 2B 4A 50"), blanks(30), text("ab"), text("  -65 "), hex("FE")}));

    // An access point of the scan list reports its own RSSI; Korean SSIDs pass unchanged.
    const Bytes korean = hex("BF EC B8 AE C1 FD 5F 57 69 46 69"); // "우리집_WiFi" in CP949
    model.handle(join({hex("7E 35 42 50"), blanks(21), korean, blanks(16), hex("FE")}));
    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 4A 50 FE"))),
              join({hex("7E 2B 4A 50"), blanks(21), korean, text("  -65 "), hex("FE")}));
    model.handle(join({hex("7E 35 42 50"), blanks(27), text("Guest"), blanks(16), hex("FE")}));
    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 4A 50 FE"))),
              join({hex("7E 2B 4A 50"), blanks(27), text("Guest"), text("  -80 "), hex("FE")}));
}

TEST(SimulatorDeviceModel, ScanListsKoreanAndCutSsids)
{
    DeviceModel model{DeviceState{}};
    const Bytes reply = onlyReply(model.handle(hex("7E 05 48 50 FE")));
    ASSERT_EQ(reply.size(), 6u + 52u * 5u);
    EXPECT_TRUE(endsOnlyAtItsLastByte(reply));
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), hex("7E FF 48 50 35"));
    auto record = [&](int r) { return Bytes(reply.begin() + 5 + 52 * r, reply.begin() + 5 + 52 * (r + 1)); };
    EXPECT_EQ(record(0), join({blanks(23), text("Office-2G"), text("   6"), text(" -48"), blanks(4), text("WPA2-PSK")}));
    EXPECT_EQ(record(1), join({blanks(21), hex("BF EC B8 AE C1 FD 5F 57 69 46 69"), text("   1"), text(" -65"),
                               blanks(4), text("WPA2-PSK")}));
    // 33 bytes of SSID: the field keeps 32, ending on the lead byte B4 of the last character.
    EXPECT_EQ(record(2), join({hex("33 46 5F B4 EB C8 B8 C0 C7 BD C7 B0 F8 BF EB B9 AB BC B1 B3 D7 C6 AE BF F6"
                                   " C5 A9 C0 D4 B4 CF B4"),
                               text("  11"), text(" -71"), blanks(4), text("WPA/WPA2")}));
    EXPECT_EQ(record(4), join({blanks(26), hex("BF AC B1 B8 BC D2"), text("  36"), text(" -91"), blanks(4),
                               text("WPA2-ENT")}));
}

TEST(SimulatorDeviceModel, MaintenanceCommandsAreAcknowledgedWithTheirOwnIds)
{
    DeviceModel model{DeviceState{}};
    const CommandOutcome flash = model.handle(hex("7E 08 53 50 0B B8 0A FE"));
    EXPECT_EQ(onlyReply(flash), hex("7E 05 53 50 FE"));
    EXPECT_EQ(model.state().flashSaveInterval, 3000);
    EXPECT_EQ(model.state().flashSaveDelay, 10);
    EXPECT_FALSE(flash.reboot);

    const CommandOutcome download = model.handle(
        join({hex("7E 2B 55 50 C0 A8 00 05 1F 86"), blanks(12), text("R7730LX_v1.0.bin_abc"), hex("FE")}));
    EXPECT_EQ(onlyReply(download), hex("7E 05 55 50 FE"));
    ASSERT_FALSE(download.notes.empty());
    EXPECT_NE(download.notes.front().find("http://192.168.0.5:8070/R7730LX_v1.0.bin_abc"), std::string::npos);

    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 58 50 FE"))), hex("7E 05 58 50 FE"));

    const CommandOutcome reboot = model.handle(hex("7E 05 47 50 FE"));
    EXPECT_TRUE(reboot.reboot);
    EXPECT_EQ(onlyReply(reboot), hex("7E 05 47 50 FE"));
}

TEST(SimulatorDeviceModel, FactoryResetKeepsTheIdentityOnly)
{
    DeviceState state;
    state.modelCode = 1;
    state.mac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    state.ip = {10, 1, 2, 3};
    state.ssid = text("Guest");
    DeviceModel model{state};
    const CommandOutcome reset = model.handle(hex("7E 06 46 50 4E FE"));
    EXPECT_TRUE(reset.reboot);
    EXPECT_TRUE(reset.stateChanged);
    EXPECT_EQ(onlyReply(reset), hex("7E 05 46 50 FE"));
    EXPECT_EQ(onlyReply(model.handle(hex("7E 05 41 50 FE"))),
              hex("7E 2B 41 50 01 01 03 02 11 22 33 44 55 C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 1E"
                  " 37 33 30 30 31 53 13 88 C0 A8 00 64 00 00 FE"));
    EXPECT_TRUE(model.state().ssid.empty());
}

TEST(SimulatorDeviceModel, StatusReplyOfAWrongLengthForTrials)
{
    DeviceModel shorter{DeviceState{}, sim::ModelQuirks{30, {}}};
    EXPECT_EQ(onlyReply(shorter.handle(hex("7E 05 41 50 FE"))),
              hex("7E 1E 41 50 02 01 03 00 1A 2B 3C 4D 5E C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 1E 37 FE"));
    DeviceModel longer{DeviceState{}, sim::ModelQuirks{45, {}}};
    const Bytes reply = onlyReply(longer.handle(hex("7E 05 41 50 FE")));
    ASSERT_EQ(reply.size(), 45u);
    EXPECT_EQ(Bytes(reply.end() - 5, reply.end()), hex("00 00 00 00 FE"));
}

TEST(SimulatorDeviceModel, StoreWrongKeepsOneSettingOffByItsLowestBit)
{
    // The WAN save stores the mask's last octet with its lowest bit flipped; the rest as sent.
    DeviceModel wan{DeviceState{}, sim::ModelQuirks{std::nullopt, {"mask"}}};
    const CommandOutcome saved = wan.handle(hex("7E 11 43 50 0A 00 00 05 0A 00 00 01 FF FF FF 00 FE"));
    EXPECT_EQ(onlyReply(saved), hex("7E 05 43 50 FE"));
    EXPECT_EQ(wan.state().ip, (std::array<std::uint8_t, 4>{10, 0, 0, 5}));
    EXPECT_EQ(wan.state().mask, (std::array<std::uint8_t, 4>{255, 255, 255, 1}));
    EXPECT_EQ(saved.notes.back(), "store-wrong: mask stored with its lowest bit flipped, not as received");

    // Another save leaves the key alone.
    DeviceModel tcp{DeviceState{}, sim::ModelQuirks{std::nullopt, {"listen_port"}}};
    tcp.handle(hex("7E 11 43 50 0A 00 00 05 0A 00 00 01 FF FF FF 00 FE"));
    EXPECT_EQ(tcp.state().mask, (std::array<std::uint8_t, 4>{255, 255, 255, 0}));
    tcp.handle(hex("7E 0F 44 50 1F 90 1E 53 13 88 C0 A8 00 64 FE"));
    EXPECT_EQ(tcp.state().listenPort, 8081);
}
