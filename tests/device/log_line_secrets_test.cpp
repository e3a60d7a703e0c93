// The trace's mask over a link's log lines in their order: the password never shows, whatever
// the SSID before it holds, and no other line changes.
#include <QString>
#include <gtest/gtest.h>

#include "device/log_line_secrets.h"

using namespace r7730;

namespace {

struct TLine {
    QString logged;
    QString traced;
};

void ExpectTraced(const std::vector<TLine>& lines)
{
    TLogLineMask mask;
    for (const TLine& line : lines)
        EXPECT_EQ(mask.Masked(line.logged), line.traced);
}

} // namespace

TEST(LogLineMask, ThePasswordLineIsMaskedToItsFieldsWidth)
{
    ExpectTraced({
        {"tmpSSIDName : [32][                             lab]", "tmpSSIDName : [32][                             lab]"},
        {"tmpSSIDPW   : [16][          pw-123]", "tmpSSIDPW   : [16][****************]"},
        {"tmpSSIDPW   : [16][]x][          ]", "tmpSSIDPW   : [16][****************]"},
        {"TX 0x42 : [5][7E.05.42.50.FE.]", "TX 0x42 : [5][7E.05.42.50.FE.]"},
    });
}

TEST(LogLineMask, TheCurrentAccessPointsTextIsMaskedFromThePasswordOn)
{
    ExpectTraced({
        // A Korean SSID: three double-byte characters before the password.
        {"RX MSG ID:[0x49] LEN:[53]:[7E.35.49.50.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20."
         "BF.EC.B8.AE.C1.FD.20.20.20.20.20.20.20.20.20.20.70.77.2D.31.32.33.FE.]",
         "RX MSG ID:[0x49] LEN:[53]:[7E.35.49.50.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20."
         "BF.EC.B8.AE.C1.FD.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.FE.]"},
        {u"res[45] = [                          우리집          pw-123]"_qs,
         u"res[45] = [                          우리집****************]"_qs},
        // A double-byte character whose second byte is the password's first.
        {"RX MSG ID:[0x49] LEN:[53]:[7E.35.49.50.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61."
         "61.61.61.61.61.B0.A1.62.63.64.65.66.67.68.69.6A.6B.6C.6D.6E.6F.70.FE.]",
         "RX MSG ID:[0x49] LEN:[53]:[7E.35.49.50.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61.61."
         "61.61.61.61.61.B0.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.FE.]"},
        {u"res[47] = [aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa가bcdefghijklmnop]"_qs,
         "res[47] = [aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa****************]"},
        // The signal reply's text carries no password.
        {"RX MSG ID:[0x4A] LEN:[43]:[7E.2B.4A.50.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20."
         "20.20.4F.66.66.69.63.65.20.20.2D.36.35.20.FE.]",
         "RX MSG ID:[0x4A] LEN:[43]:[7E.2B.4A.50.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20."
         "20.20.4F.66.66.69.63.65.20.20.2D.36.35.20.FE.]"},
        {"res[38] = [                          Office  -65 ]", "res[38] = [                          Office  -65 ]"},
        {"[EOT]", "[EOT]"},
    });
}
