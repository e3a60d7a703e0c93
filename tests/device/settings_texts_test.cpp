// The canonical texts of the device's settings, as a status reply gives them.
#include <gtest/gtest.h>

#include "device/settings_texts.h"
#include "support/device_frames.h"
#include "support/qt_printers.h"

using namespace r7730;
using r7730::testing::hex;

TEST(SettingsTexts, AStatusReplyGivesTheTextsOfEachSection)
{
    // WAN 10.0.0.5 via 10.0.0.1 mask 255.255.0.0, client, listen 502, expiry 60, serial codes
    // '3' '3' '1' '2' '0' (baud, data, stop, parity, flow), target 192.168.0.100:5000.
    const TStatusReply reply = DecodeStatusReply(hex("7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E 0A 00 00 05 0A 00 00 01 FF FF 00"
                                                     " 00 01 F6 3C 33 33 31 32 30 43 13 88 C0 A8 00 64 00 00 FE"));
    EXPECT_EQ(TextsOfStatus(TSection::Wan, reply), (TTexts{{"ip", "10.0.0.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.0.0"}}));
    EXPECT_EQ(TextsOfStatus(TSection::Tcp, reply),
              (TTexts{{"mode", "client"}, {"listen", "502"}, {"expiry", "60"}, {"target", "192.168.0.100:5000"}}));
    EXPECT_EQ(TextsOfStatus(TSection::Serial, reply),
              (TTexts{{"baud", "9600"}, {"data", "8"}, {"stop", "2"}, {"parity", "even"}, {"flow", "rts/cts"}}));

    // A serial code that is no digit ends decoding: those keys and the TCP role are missing.
    const TStatusReply cut = DecodeStatusReply(hex("7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E 0A 00 00 05 0A 00 00 01 FF FF 00"
                                                   " 00 01 F6 3C 33 33 58 32 30 43 13 88 C0 A8 00 64 00 00 FE"));
    EXPECT_EQ(TextsOfStatus(TSection::Serial, cut), (TTexts{{"baud", "9600"}, {"data", "8"}}));
    EXPECT_EQ(TextsOfStatus(TSection::Tcp, cut), (TTexts{{"listen", "502"}, {"expiry", "60"}}));
}
