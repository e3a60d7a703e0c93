// Every message's fields and summary from literal frames, and the reply decoders held to the
// same values for the same bytes.
#include <gtest/gtest.h>
#include <string>

#include "protocol/code_page.h"
#include "protocol/frame_anatomy.h"
#include "protocol/frame_log_line.h"
#include "protocol/frame_summary.h"
#include "protocol/reply_decoders.h"
#include "protocol/serial_line_codes.h"
#include "support/device_frames.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

const Bytes kScanReply = join({hex("7E 6E 48 50"), text("2"),
                               blanks(26), text("Office"), text("   6"), text("-065"), blanks(4), text("WPA2-PSK"),
                               blanks(29), text("Lab"), text("  11"), text(" -80"), blanks(8), text("OPEN"), hex("FE")});
const Bytes kCurrentApReply = join({hex("7E 35 49 50"), blanks(26), text("Office"), blanks(8), text("secret12"), hex("FE")});
const Bytes kSignalReply = join({hex("7E 2B 4A 50"), blanks(26), text("Office"), text("  -65 "), hex("FE")});
const Bytes kNoInfoReply = join({hex("7E 2B 4A 50"), blanks(32), text("NOINFO"), hex("FE")});

Bytes With(Bytes bytes, std::size_t offset, std::uint8_t value)
{
    bytes[offset] = value;
    return bytes;
}

struct TCase {
    const char* what;
    TFrameSide side;
    Bytes frame;
    TFrameState state;
    std::string summary;
};

const TFrameSide C = TFrameSide::Command;
const TFrameSide R = TFrameSide::Reply;

const TCase kCases[] = {
    {"status reply", R, kStatusReply, TFrameState::Ok,
     "status: R7730LX 1.03, 00:1A:2B:3C:4D:5E, 192.168.0.10/24 gw 192.168.0.1, TCP server :8080, 115200 8N1 none"},
    {"status reply, client, Q7760LX", R, With(With(kStatusReply, 33, 'C'), 4, 1), TFrameState::Ok,
     "status: Q7760LX 1.03, 00:1A:2B:3C:4D:5E, 192.168.0.10/24 gw 192.168.0.1, TCP client 192.168.0.100:80, 115200 8N1 none"},
    {"status reply of 42 bytes", R, hex("7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 0A"
                                        " 37 33 30 30 31 53 00 50 C0 A8 00 64 00 FE"),
     TFrameState::WrongLength, "status: wrong length, 42 bytes (43 expected)"},
    {"scan reply", R, kScanReply, TFrameState::Ok, "scan: 2 access points: \"Office\" ch 6 -65 dBm, \"Lab\" ch 11 -80 dBm"},
    {"scan reply cut short", R, join({Bytes(kScanReply.begin(), kScanReply.begin() + 59), hex("FE")}), TFrameState::WrongLength,
     "scan: wrong length, 60 bytes (not 6 + 52 x n)"},
    {"current access point reply", R, kCurrentApReply, TFrameState::Ok, "current access point: \"Office\""},
    {"signal reply", R, kSignalReply, TFrameState::Ok, "signal: \"Office\" -65 dBm, quality 70%"},
    {"signal reply without an access point", R, kNoInfoReply, TFrameState::Ok, "signal: no access point (NOINFO)"},
    {"accepted reply", R, hex("7E 05 43 50 FE"), TFrameState::Ok, "accepted: Save WAN settings"},
    {"unregistered reply", R, hex("7E 05 53 50 FE"), TFrameState::Unregistered,
     "unregistered ID 0x53 (Flash save interval and delay), 5 bytes"},
    {"lone end byte", R, hex("7E FE"), TFrameState::Unregistered, "unregistered ID 0x00, 2 bytes"},
    {"status read", C, hex("7E 05 41 50 FE"), TFrameState::Ok, "status read"},
    {"set access point", C, join({hex("7E 35 42 50"), blanks(26), text("Office"), blanks(8), text("secret12"), hex("FE")}),
     TFrameState::Ok, "set access point: \"Office\", with a password"},
    {"save WAN, a mask with 254", C, hex("7E 11 43 50 C0 A8 00 0A C0 A8 00 01 FF FF FE 00 FE"), TFrameState::Ok,
     "save WAN: 192.168.0.10/23 gw 192.168.0.1"},
    {"save WAN, a mask with a hole", C, hex("7E 11 43 50 C0 A8 00 0A C0 A8 00 01 FF 00 FF 00 FE"), TFrameState::Ok,
     "save WAN: 192.168.0.10 mask 255.0.255.0 gw 192.168.0.1"},
    {"save TCP", C, hex("7E 0F 44 50 1F 90 1E 53 13 88 C0 A8 00 64 FE"), TFrameState::Ok, "save TCP: server :8080, expiry 30 s"},
    {"save serial", C, hex("7E 0B 45 50 37 33 30 30 31 46 FE"), TFrameState::Ok, "save serial: 115200 8N1 none"},
    {"save serial, odd parity, two stop bits", C, hex("7E 0B 45 50 33 32 31 31 30 46 FE"), TFrameState::Ok,
     "save serial: 9600 7O2 rts/cts"},
    {"factory reset", C, hex("7E 06 46 50 4E FE"), TFrameState::Ok, "factory reset"},
    {"flash save", C, hex("7E 08 53 50 01 2C 05 FE"), TFrameState::Ok, "flash save: interval 300, delay 5"},
    {"firmware download", C, join({hex("7E 2B 55 50 C0 A8 FE 05 1F 40"), blanks(26), text("fw.bin"), hex("FE")}), TFrameState::Ok,
     "firmware download: http://192.168.254.5:8000/fw.bin"},
    {"save WAN of 5 bytes", C, hex("7E 05 43 50 FE"), TFrameState::WrongLength,
     "Save WAN settings: wrong length, 5 bytes (17 expected)"},
    {"unregistered command", C, hex("7E 05 5A 50 FE"), TFrameState::Unregistered, "unregistered ID 0x5A, 5 bytes"},
};

} // namespace

TEST(FrameAnatomy, StateAndSummaryOfEveryMessageKind)
{
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FrameState(c.side, c.frame), c.state);
        EXPECT_EQ(FrameSummary(c.side, c.frame), c.summary);
    }
}

TEST(FrameAnatomy, FieldsCoverEveryByteOnce)
{
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.what);
        int next = 0;
        for (const TDecodedField& field : DecodeFields(c.side, c.frame)) {
            EXPECT_EQ(field.offset, next) << field.name;
            next = field.offset + field.length;
        }
        EXPECT_EQ(next, static_cast<int>(c.frame.size()));
    }
}

TEST(FrameAnatomy, StatusReplyFieldsByOffset)
{
    const auto fields = DecodeFields(R, kStatusReply);
    const TDecodedField expected[] = {
        {0, 1, "start", TFieldKind::Byte, "7E"},
        {1, 1, "length", TFieldKind::Octet, "43"},
        {2, 1, "message ID", TFieldKind::Byte, "0x41 'A' Current status read"},
        {3, 1, "fixed byte", TFieldKind::Byte, "50"},
        {4, 1, "model", TFieldKind::Enum, "R7730LX"},
        {5, 2, "firmware version", TFieldKind::Version, "1.03"},
        {7, 6, "MAC address", TFieldKind::Mac, "00:1A:2B:3C:4D:5E"},
        {21, 4, "subnet mask", TFieldKind::Ipv4, "255.255.255.0"},
        {25, 2, "listen port", TFieldKind::Word, "8080"},
        {28, 1, "baud rate", TFieldKind::Enum, "115200"},
        {33, 1, "TCP mode", TFieldKind::Enum, "server"},
        {40, 2, "not read", TFieldKind::Byte, "00 00"},
        {42, 1, "end", TFieldKind::Byte, "FE"},
    };
    for (const TDecodedField& field : expected)
        EXPECT_NE(std::find(fields.begin(), fields.end(), field), fields.end()) << field.name;
}

TEST(FrameAnatomy, ShortAndUnregisteredFramesNameWhatTheyHold)
{
    const auto shortStatus = DecodeFields(R, hex("7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 0A"
                                                   " 37 33 30 30 31 53 00 50 C0 A8 00 64 00 FE"));
    EXPECT_EQ(shortStatus[shortStatus.size() - 2], (TDecodedField{40, 1, "unexpected bytes", TFieldKind::Byte, "00"}));
    EXPECT_EQ(FieldValue(shortStatus, "length"), "43 (the frame has 42 bytes)");

    const auto unregistered = DecodeFields(R, hex("7E 07 53 50 01 02 FE"));
    ASSERT_EQ(unregistered.size(), 6u);
    EXPECT_EQ(unregistered[2].value, "0x53 'S' Flash save interval and delay");
    EXPECT_EQ(unregistered[4], (TDecodedField{4, 2, "payload", TFieldKind::Byte, "01 02"}));
}

// The window's decoders and the table read the same bytes to the same values.
TEST(FrameAnatomy, TheReplyDecodersAgreeWithTheTable)
{
    const auto utf8 = [](const std::u16string& text) { return AnsiToUtf8(WideToAnsi(text)); };
    const auto join4 = [&](const std::array<std::u16string, 4>& octets) {
        return utf8(octets[0] + u"." + octets[1] + u"." + octets[2] + u"." + octets[3]);
    };
    for (const Bytes& frame : {kStatusReply, With(With(kStatusReply, 33, 'C'), 4, 3)}) {
        const TStatusReply reply = DecodeStatusReply(frame);
        const auto fields = DecodeFields(R, frame);
        EXPECT_EQ(FieldValue(fields, "model"), utf8(reply.deviceName));
        EXPECT_EQ(FieldValue(fields, "firmware version"), utf8(reply.version));
        EXPECT_EQ(FieldValue(fields, "MAC address"), utf8(reply.macAddress));
        EXPECT_EQ(FieldValue(fields, "IP address"), join4(reply.ip));
        EXPECT_EQ(FieldValue(fields, "gateway"), join4(reply.gateway));
        EXPECT_EQ(FieldValue(fields, "subnet mask"), join4(reply.subnetMask));
        EXPECT_EQ(FieldValue(fields, "listen port"), utf8(reply.listenPort));
        EXPECT_EQ(FieldValue(fields, "expiry (s)"), utf8(reply.expiryTime));
        ASSERT_EQ(reply.serialIndexes.size(), 5u);
        EXPECT_EQ(FieldValue(fields, "baud rate"), kBaudRateChoices[reply.serialIndexes[0]]);
        EXPECT_EQ(FieldValue(fields, "data bits"), kDataBitsChoices[reply.serialIndexes[1]]);
        EXPECT_EQ(FieldValue(fields, "stop bits"), kStopBitsChoices[reply.serialIndexes[2]]);
        EXPECT_EQ(FieldValue(fields, "parity"), kParityChoices[reply.serialIndexes[3]]);
        EXPECT_EQ(FieldValue(fields, "flow control"), kFlowControlChoices[reply.serialIndexes[4]]);
        EXPECT_EQ(FieldValue(fields, "TCP mode"), *reply.tcpModeIndex == 0 ? "server" : "client");
        EXPECT_EQ(FieldValue(fields, "target port"), utf8(*reply.targetPort));
        EXPECT_EQ(FieldValue(fields, "target IP"), join4(*reply.targetIp));
    }

    const TScanReply scan = DecodeScanReply(kScanReply);
    const auto scanFields = DecodeFields(R, kScanReply);
    ASSERT_EQ(scan.rows.size(), 2u);
    for (const TScanRow& row : scan.rows) {
        const std::string ap = "AP " + std::to_string(row.number) + " ";
        EXPECT_EQ(FieldValue(scanFields, ap + "SSID"), utf8(row.ssid));
        EXPECT_EQ(FieldValue(scanFields, ap + "channel"), utf8(row.channel));
        EXPECT_EQ(FieldValue(scanFields, ap + "RSSI (dBm)"), utf8(*row.rssi));
        EXPECT_EQ(FieldValue(scanFields, ap + "authentication"), utf8(*row.authMode));
    }
    EXPECT_FALSE(FieldValue(scanFields, "AP 3 SSID"));

    const TCurrentApReply current = DecodeCurrentApReply(kCurrentApReply);
    const auto currentFields = DecodeFields(R, kCurrentApReply);
    EXPECT_EQ(FieldValue(currentFields, "SSID"), utf8(current.ssid));
    EXPECT_EQ(FieldValue(currentFields, "password"), utf8(current.password));

    for (const Bytes& frame : {kSignalReply, kNoInfoReply}) {
        const TSignalReply signal = DecodeSignalReply(frame);
        const auto fields = DecodeFields(R, frame);
        EXPECT_EQ(FieldValue(fields, "SSID"), utf8(signal.ssid));
        EXPECT_EQ(FieldValue(fields, "RSSI (dBm)"), utf8(signal.rssiText));
    }
}

namespace {

// "Lab" and "pw-123" in their blank-padded fields, as the set command carries them and the
// current-AP reply returns them.
const std::string kLabHex = "4C.61.62.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.";
const std::string kPasswordHex = "70.77.2D.31.32.33.20.20.20.20.20.20.20.20.20.20.";
const std::string kMaskedHex = "**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.";

struct TMaskCase {
    const char* what;
    std::string line;
    std::string masked;
};

const TMaskCase kMaskCases[] = {
    {"set access point: the password field with its padding", "TX 0x42 : [53][7E.35.42.50." + kLabHex + kPasswordHex + "FE.]",
     "TX 0x42 : [53][7E.35.42.50." + kLabHex + kMaskedHex + "FE.]"},
    {"current access point reply, stamped", "[14:03:27]  RX MSG ID:[0x49] LEN:[53]:[7E.35.49.50." + kLabHex + kPasswordHex + "FE.]",
     "[14:03:27]  RX MSG ID:[0x49] LEN:[53]:[7E.35.49.50." + kLabHex + kMaskedHex + "FE.]"},
    {"a reply cut inside the password", "RX MSG ID:[0x49] LEN:[40]:[7E.28.49.50." + kLabHex + "70.77.2D.31.]",
     "RX MSG ID:[0x49] LEN:[40]:[7E.28.49.50." + kLabHex + "**.**.**.**.]"},
    {"the read of the current access point", "TX 0x49 : [5][7E.05.49.50.FE.]", "TX 0x49 : [5][7E.05.49.50.FE.]"},
    {"the set's reply", "RX MSG ID:[0x42] LEN:[5]:[7E.05.42.50.FE.]", "RX MSG ID:[0x42] LEN:[5]:[7E.05.42.50.FE.]"},
    {"a status reply", "RX MSG ID:[0x41] LEN:[6]:[7E.06.41.50.01.FE.]", "RX MSG ID:[0x41] LEN:[6]:[7E.06.41.50.01.FE.]"},
    {"another line", "Send Command to the unit... ", "Send Command to the unit... "},
};

} // namespace

TEST(FrameAnatomy, ATraceMasksThePasswordBytesOfFrameLinesOnly)
{
    for (const TMaskCase& c : kMaskCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MaskedFrameLogLine(c.line), c.masked);
    }
    EXPECT_FALSE(ReadFrameLogLine(kMaskCases[0].masked)) << "a masked line reads as no frame";
}
