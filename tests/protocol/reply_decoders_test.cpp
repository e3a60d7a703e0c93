#include <gtest/gtest.h>
#include <string>

#include "support/device_frames.h"
#include "protocol/reply_decoders.h"

using namespace r7730;

namespace {

// A frame written as a byte string, start and end bytes included.
std::vector<std::uint8_t> Frame(const std::string& frame)
{
    return {frame.begin(), frame.end()};
}

std::string Blanks(int n)
{
    return std::string(static_cast<std::size_t>(n), ' ');
}

const std::string kStatusReply(r7730::testing::kStatusReply.begin(), r7730::testing::kStatusReply.end());

} // namespace

TEST(StatusReply, EveryFieldDecodes)
{
    TStatusReply reply = DecodeStatusReply(Frame(kStatusReply));
    EXPECT_EQ(reply.deviceName, u"R7730LX");
    EXPECT_EQ(reply.version, u"1.03");
    EXPECT_EQ(reply.macAddress, u"00:1A:2B:3C:4D:5E");
    EXPECT_EQ(reply.ip, (std::array<std::u16string, 4>{u"192", u"168", u"0", u"10"}));
    EXPECT_EQ(reply.gateway, (std::array<std::u16string, 4>{u"192", u"168", u"0", u"1"}));
    EXPECT_EQ(reply.subnetMask, (std::array<std::u16string, 4>{u"255", u"255", u"255", u"0"}));
    EXPECT_EQ(reply.listenPort, u"8080");
    EXPECT_EQ(reply.expiryTime, u"10");
    EXPECT_EQ(reply.serialIndexes, (std::vector<int>{7, 3, 0, 0, 1}));
    EXPECT_EQ(reply.tcpModeIndex, 0);
    EXPECT_EQ(reply.targetPort, u"80");
    EXPECT_EQ(reply.targetIp, (std::array<std::u16string, 4>{u"192", u"168", u"0", u"100"}));
}

TEST(StatusReply, ModelCodesVersionPaddingAndClientMode)
{
    std::string frame = kStatusReply;
    frame[4] = '\x01';
    frame[6] = '\x05';
    frame[33] = 'C';
    TStatusReply reply = DecodeStatusReply(Frame(frame));
    EXPECT_EQ(reply.deviceName, u"Q7760LX");
    EXPECT_EQ(reply.version, u"1.05");
    EXPECT_EQ(reply.tcpModeIndex, 1);

    frame[4] = '\x03';
    frame[5] = '\x02';
    frame[6] = '\x7B'; // 123: two digits kept
    reply = DecodeStatusReply(Frame(frame));
    EXPECT_EQ(reply.deviceName, u"ETC");
    EXPECT_EQ(reply.version, u"2.12");
    frame[4] = '\x00';
    EXPECT_EQ(DecodeStatusReply(Frame(frame)).deviceName, u"ETC");
}

TEST(StatusReply, NumbersTakeTheirBytesWholeHighByteFirst)
{
    std::string frame = kStatusReply;
    frame[5] = '\xC8';
    frame[6] = '\x09';
    frame[25] = '\xFF';
    frame[26] = '\xFE';
    frame[27] = '\x80';
    frame[34] = '\x80';
    frame[35] = '\x01';
    const TStatusReply reply = DecodeStatusReply(Frame(frame));
    EXPECT_EQ(reply.version, u"200.09");
    EXPECT_EQ(reply.listenPort, u"65534");
    EXPECT_EQ(reply.expiryTime, u"128");
    EXPECT_EQ(reply.targetPort, u"32769");
}

TEST(StatusReply, ASerialIndexThatIsNoDigitStopsDecodingThere)
{
    std::string frame = kStatusReply;
    frame[30] = 'x'; // stop bits
    TStatusReply reply = DecodeStatusReply(Frame(frame));
    EXPECT_EQ(reply.listenPort, u"8080");
    EXPECT_EQ(reply.serialIndexes, (std::vector<int>{7, 3}));
    EXPECT_FALSE(reply.tcpModeIndex.has_value());
    EXPECT_FALSE(reply.targetPort.has_value());
    EXPECT_FALSE(reply.targetIp.has_value());
}

TEST(ScanReply, TwoRecordsWithALogLineOfTheWholePayload)
{
    const std::string record1 = Blanks(28) + "Home" + "   6" + " -65" + "    WPA2_PSK";
    const std::string record2 = Blanks(27) + "Lab-2" + "  11" + "-100" + "        OPEN";
    const std::string frame = std::string("\x7E\x6E\x48\x50") + "2" + record1 + record2 + "\xFE";
    TScanReply reply = DecodeScanReply(Frame(frame));

    EXPECT_EQ(reply.logLine, u"res[105] = [2" + std::u16string(28, u' ') + u"Home   6 -65    WPA2_PSK" +
                                 std::u16string(27, u' ') + u"Lab-2  11-100        OPEN]");
    ASSERT_EQ(reply.rows.size(), 2u);
    EXPECT_EQ(reply.rows[0].number, 1);
    EXPECT_EQ(reply.rows[0].ssid, u"Home");
    EXPECT_EQ(reply.rows[0].channel, u"6");
    EXPECT_EQ(reply.rows[0].rssi, u"-65");
    EXPECT_EQ(reply.rows[0].quality, u"70%");
    EXPECT_EQ(reply.rows[0].authMode, u"WPA2_PSK");
    EXPECT_EQ(reply.rows[1].ssid, u"Lab-2");
    EXPECT_EQ(reply.rows[1].quality, u"0%");
}

TEST(ScanReply, KoreanSsidCutInTheMiddleOfACharacterLosesOnlyTheHalfCharacter)
{
    // "A" + fifteen 가 (B0 A1) + the lead byte of a sixteenth: 32 bytes, cut mid-character.
    std::string ssid = "A";
    for (int i = 0; i < 15; ++i)
        ssid += "\xB0\xA1";
    ssid += "\xB0";
    const std::string korean = Blanks(24) + "\xC7\xD1\xB1\xDB\xB3\xD7\xC6\xAE"; // 한글네트
    const std::string frame = std::string("\x7E\x6E\x48\x50") + "2" + ssid + "  11" + " -70" + "    WPA2_PSK" + korean +
                              "   1" + " -40" + "         WEP" + "\xFE";
    TScanReply reply = DecodeScanReply(Frame(frame));
    ASSERT_EQ(reply.rows.size(), 2u);
    EXPECT_EQ(reply.rows[0].ssid, u"A가가가가가가가가가가가가가가가");
    EXPECT_EQ(reply.rows[0].channel, u"11");
    EXPECT_EQ(reply.rows[0].rssi, u"-70");
    EXPECT_EQ(reply.rows[1].ssid, u"한글네트");
    EXPECT_EQ(reply.rows[1].quality, u"100%");
}

TEST(ScanReply, BadCountOrRssiStopsWhereTheValueFails)
{
    std::string frame = std::string("\x7E\x06\x48\x50") + "x" + "\xFE";
    EXPECT_TRUE(DecodeScanReply(Frame(frame)).rows.empty());
    frame = std::string("\x7E\x06\x48\x50") + "0" + "\xFE";
    EXPECT_TRUE(DecodeScanReply(Frame(frame)).rows.empty());

    const std::string good = Blanks(28) + "Home" + "   6" + " -65" + "    WPA2_PSK";
    const std::string blankRssi = Blanks(28) + "Next" + "   9" + "    " + "    WPA2_PSK";
    frame = std::string("\x7E\xA2\x48\x50") + "3" + good + blankRssi + good + "\xFE";
    TScanReply reply = DecodeScanReply(Frame(frame));
    ASSERT_EQ(reply.rows.size(), 2u);
    EXPECT_TRUE(reply.rows[0].authMode.has_value());
    EXPECT_EQ(reply.rows[1].ssid, u"Next");
    EXPECT_EQ(reply.rows[1].channel, u"9");
    EXPECT_FALSE(reply.rows[1].rssi.has_value());
    EXPECT_FALSE(reply.rows[1].authMode.has_value());
}

TEST(CurrentApReply, FieldsAreCutByBytesAndTrimmed)
{
    // 제12물류창고 무선AP 시험용-5GHz: 31 bytes of CP949 in 21 characters.
    const std::string hangul31 = "\xC1\xA6" "12" "\xB9\xB0\xB7\xF9\xC3\xA2\xB0\xED" " " "\xB9\xAB\xBC\xB1" "AP "
                                 "\xBD\xC3\xC7\xE8\xBF\xEB" "-5GHz";
    std::string cutAtTheEnd = "A";
    for (int i = 0; i < 15; ++i)
        cutAtTheEnd += "\xB0\xA1"; // 가
    cutAtTheEnd += "\xB0";         // the first byte of a character the device cut
    const struct {
        const char* what;
        std::string payload;
        std::u16string ssid, password;
    } cases[] = {
        {"single-byte texts padded", Blanks(30) + "ab" + Blanks(8) + "pass1234", u"ab", u"pass1234"},
        {"a Hangul SSID of 31 bytes", " " + hangul31 + "abcdefgh12345678", u"제12물류창고 무선AP 시험용-5GHz",
         u"abcdefgh12345678"},
        {"a character cut at the SSID's end", cutAtTheEnd + "abcdefgh12345678", u"A가가가가가가가가가가가가가가가",
         u"abcdefgh12345678"},
        {"a zero byte inside the password", Blanks(30) + "ab" + Blanks(8) + "pass" + std::string(1, '\0') + "1234", u"ab",
         u"pass"},
        {"a zero byte inside the SSID", Blanks(30) + "a" + std::string(1, '\0') + Blanks(8) + "pass1234", u"a", u""},
    };
    for (const auto& c : cases) {
        const TCurrentApReply reply = DecodeCurrentApReply(Frame(std::string("\x7E\x35\x49\x50") + c.payload + "\xFE"));
        EXPECT_EQ(reply.ssid, c.ssid) << c.what;
        EXPECT_EQ(reply.password, c.password) << c.what;
    }
    // The log line shows the payload's characters, as it always has.
    const TCurrentApReply hangul = DecodeCurrentApReply(Frame("\x7E\x35\x49\x50 " + hangul31 + "abcdefgh12345678\xFE"));
    EXPECT_EQ(hangul.logLine, u"res[38] = [ 제12물류창고 무선AP 시험용-5GHzabcdefgh12345678]");
}

TEST(SignalReply, RssiNoInfoAndText)
{
    std::string frame = std::string("\x7E\x2B\x4A\x50") + Blanks(28) + "Home" + "  -65 " + "\xFE";
    TSignalReply reply = DecodeSignalReply(Frame(frame));
    EXPECT_EQ(reply.ssid, u"Home");
    EXPECT_EQ(reply.rssiText, u"-65");
    EXPECT_EQ(reply.quality, 70);
    EXPECT_FALSE(reply.noInfo);

    frame = std::string("\x7E\x2B\x4A\x50") + Blanks(32) + "NOINFO" + "\xFE";
    reply = DecodeSignalReply(Frame(frame));
    EXPECT_TRUE(reply.noInfo);
    EXPECT_EQ(reply.ssid, u"");
    EXPECT_FALSE(reply.quality.has_value());

    frame = std::string("\x7E\x2B\x4A\x50") + Blanks(28) + "Home" + " weak " + "\xFE";
    reply = DecodeSignalReply(Frame(frame));
    EXPECT_EQ(reply.rssiText, u"weak");
    EXPECT_FALSE(reply.quality.has_value());
}

TEST(RssiToQuality, Boundaries)
{
    EXPECT_EQ(RssiToQuality(-120), 0);
    EXPECT_EQ(RssiToQuality(-100), 0);
    EXPECT_EQ(RssiToQuality(-99), 2);
    EXPECT_EQ(RssiToQuality(-75), 50);
    EXPECT_EQ(RssiToQuality(-51), 98);
    EXPECT_EQ(RssiToQuality(-50), 100);
    EXPECT_EQ(RssiToQuality(-20), 100);
}
