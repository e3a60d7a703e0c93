#include <gtest/gtest.h>

#include "protocol/code_page.h"

using namespace r7730;

// 한글 in CP949 is C7 D1 B1 DB.
TEST(CodePage, KoreanRoundTrip)
{
    const std::string ansi = "SSID \xC7\xD1\xB1\xDB";
    EXPECT_EQ(AnsiToUtf8(ansi), "SSID 한글");
    EXPECT_EQ(Utf8ToAnsi("SSID 한글"), ansi);
    EXPECT_EQ(AnsiToWide(ansi), u"SSID 한글");
    EXPECT_EQ(WideToAnsi(u"단말기"), Utf8ToAnsi("단말기"));
}

TEST(CodePage, BadBytesBecomeReplacementCharactersWithoutLosingTheRest)
{
    // A lead byte followed by a blank is no character: U+FFFD, then the blank and the rest.
    EXPECT_EQ(AnsiToWide("ab\xC7 cd"), u"ab\uFFFD cd");
    // A lead byte at the very end.
    EXPECT_EQ(AnsiToWide("ab\xC7"), u"ab\uFFFD");
    // Characters CP949 cannot hold become '?'.
    EXPECT_EQ(WideToAnsi(u"a\u00E9b\U0001F600c"), "a?b?c");
}

TEST(CodePage, ByteTypesScanFromTheStart)
{
    const std::string text = "A\xB0\xA1\xB0";
    EXPECT_EQ(ByteTypeAt(text, 0), TMbcsByteType::mbSingleByte);
    EXPECT_EQ(ByteTypeAt(text, 1), TMbcsByteType::mbLeadByte);
    EXPECT_EQ(ByteTypeAt(text, 2), TMbcsByteType::mbTrailByte);
    EXPECT_EQ(ByteTypeAt(text, 3), TMbcsByteType::mbLeadByte);
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0xFE));
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_FALSE(IsLeadByte(0x7F));
}
