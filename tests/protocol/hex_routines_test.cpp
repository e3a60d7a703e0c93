#include <gtest/gtest.h>

#include "protocol/conversion_error.h"
#include "protocol/frame.h"
#include "protocol/hex_text.h"

using namespace r7730;

TEST(HexRoutines, ByteAndCharToHex)
{
    EXPECT_EQ(ByteToHex(0), "00");
    EXPECT_EQ(ByteToHex(10), "0A");
    EXPECT_EQ(ByteToHex(126), "7E");
    EXPECT_EQ(ByteToHex(254), "FE");
    EXPECT_EQ(ByteToHex(255), "FF");
    EXPECT_EQ(CharToHex(""), "00");
    EXPECT_EQ(CharToHex(std::string(1, '\0')), "00");
    EXPECT_EQ(CharToHex("\xFE\x41"), "FE");
}

TEST(HexRoutines, HexToIntReadsHexAndRejectsOtherText)
{
    EXPECT_EQ(HexToInt("00"), 0);
    EXPECT_EQ(HexToInt("FF"), 255);
    EXPECT_EQ(HexToInt("2B"), 43);
    EXPECT_EQ(HexToInt("1F90"), 8080);
    EXPECT_EQ(HexToInt("1f90"), 8080);
    try {
        HexToInt("G1");
        FAIL() << "no conversion error";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'$G1' is not a valid integer value");
    }
    EXPECT_THROW(HexToInt(""), EConvertError);
    EXPECT_THROW(HexToInt("1 "), EConvertError);
}

TEST(HexRoutines, NibblesAndPairs)
{
    EXPECT_EQ(NibbleToHexChar(0), '0');
    EXPECT_EQ(NibbleToHexChar(9), '9');
    EXPECT_EQ(NibbleToHexChar(10), 'A');
    EXPECT_EQ(NibbleToHexChar(15), 'F');
    EXPECT_EQ(NibbleToHexChar(16), '0');
    EXPECT_EQ(NibbleToHexChar(-1), '0');

    EXPECT_EQ(HexCharToNibble('0'), 0);
    EXPECT_EQ(HexCharToNibble('9'), 9);
    EXPECT_EQ(HexCharToNibble('a'), 10);
    EXPECT_EQ(HexCharToNibble('F'), 15);
    EXPECT_EQ(HexCharToNibble('G'), 0);

    EXPECT_EQ(HexPairToByte("4A"), 74);
    EXPECT_EQ(HexPairToByte("4a"), 74);
    EXPECT_EQ(HexPairToByte("58"), 88);
    EXPECT_EQ(HexPairToByte("4G"), 0);
    EXPECT_EQ(HexPairToByte("G4"), 0);
    EXPECT_EQ(HexPairToByte("5"), 0);
    EXPECT_EQ(HexPairToByte(""), 0);
    EXPECT_EQ(HexPairToByte("FE9"), 254);
}

TEST(HexRoutines, PadLeftCutsOrPads)
{
    EXPECT_EQ(PadLeft("5", 2, '0'), "05");
    EXPECT_EQ(PadLeft("123", 2, '0'), "12");
    EXPECT_EQ(PadLeft("ab", 5, '\0'), "   ab");
    EXPECT_EQ(PadLeft("ab", 2, ' '), "ab");
    EXPECT_EQ(PadLeft("", 16, ' '), std::string(16, ' '));
}

// "A", the two-byte character 가 (B0 A1 in CP949), "B".
TEST(HexRoutines, CopyMbcsNeverSplitsADoubleByteCharacter)
{
    const std::string text = "A\xB0\xA1" "B";
    EXPECT_EQ(CopyMbcs(text, 3, 2, true), "B ");
    EXPECT_EQ(CopyMbcs(text, 1, 2, true), "A ");
    EXPECT_EQ(CopyMbcs(text, 2, 2, true), "\xB0\xA1");
    EXPECT_EQ(CopyMbcs(text, 5, 2, true), "");
    EXPECT_EQ(CopyMbcs(text, 3, 2, false), "B");
    EXPECT_EQ(CopyMbcs(text, 1, 99, true), text);
    // A trail byte that looks like ASCII ('A' = 0x41 is a valid CP949 trail byte).
    const std::string trailLikeAscii = "\x81\x41" "C";
    EXPECT_EQ(CopyMbcs(trailLikeAscii, 2, 2, true), "C ");
}

TEST(HexRoutines, HexTextAndTransmitLine)
{
    EXPECT_EQ(HexText(std::string_view("")), "");
    const TFrame status = BuildFrame(0x41);
    EXPECT_EQ(status, (TFrame{0x7E, 0x05, 0x41, 0x50, 0xFE}));
    EXPECT_EQ(HexText(status.data(), status.size()), "7E.05.41.50.FE.");
    EXPECT_EQ(TransmitLogLine(status, "]"), "TX 0x41 : [5][7E.05.41.50.FE.]");
    EXPECT_EQ(TransmitLogLine(BuildFrame(0x47), "] : System reboot Command"),
              "TX 0x47 : [5][7E.05.47.50.FE.] : System reboot Command");
    EXPECT_EQ(TransmitLogLine(BuildFrame(0x4A), "]"), "TX 0x4A : [5][7E.05.4A.50.FE.]");
    EXPECT_EQ(BuildFrame(0x46, {0x4E}), (TFrame{0x7E, 0x06, 0x46, 0x50, 0x4E, 0xFE}));
}

TEST(HexRoutines, MessageIdOfAFrameAndAsText)
{
    // The third byte, once the frame is long enough that it is not the end byte.
    const std::pair<TFrame, std::uint8_t> frames[] = {
        {{}, 0x00},
        {{0x7E, 0xFE}, 0x00},
        {{0x7E, 0x41, 0xFE}, 0x00},
        {{0x7E, 0x04, 0x4A, 0xFE}, 0x4A},
        {{0x7E, 0x05, 0x0A, 0x50, 0xFE}, 0x0A},
    };
    for (const auto& [frame, id] : frames)
        EXPECT_EQ(FrameMessageId(frame), id) << HexText(frame.data(), frame.size());
    EXPECT_EQ(MessageIdText(0x4A), "0x4A");
    EXPECT_EQ(MessageIdText(0x0A), "0x0A");
    EXPECT_EQ(MessageIdText(0x00), "0x00");
}

TEST(HexRoutines, StrToIntAndTrim)
{
    EXPECT_EQ(StrToInt("8070"), 8070);
    EXPECT_EQ(StrToInt("  -065"), -65);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(StrToInt("$1F"), 31);
    for (const char* bad : {"", " ", "12 ", "1.5", "abc", "2147483648", "-", "0x"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const EConvertError& error) {
            EXPECT_EQ(std::string(error.what()), std::string("'") + bad + "' is not a valid integer value");
        }
    }
    EXPECT_EQ(Trim("  ab \t\r\n"), "ab");
    EXPECT_EQ(Trim("   "), "");
}
