// Settings texts judged by the device's checks, the canonical texts of checked values, and the
// values no reply can carry back.
#include <gtest/gtest.h>

#include "device/settings_text_checks.h"
#include "support/qt_printers.h"

using namespace r7730;


TEST(SettingsTextChecks, AKeyIsJudgedOnItsOwnByTheDevicesChecks)
{
    struct TCase {
        TSection section;
        const char* key;
        QString text;
        QString refusal; // "" when accepted
    };
    const std::vector<TCase> cases = {
        {TSection::Wan, "ip", "10.0.0.300", "each address field takes a whole number from 0 to 255"},
        {TSection::Wan, "ip", "10.0.0", "expects an address like 192.168.0.10"},
        {TSection::Wan, "gateway", "10.0..1", "an address field is empty"},
        {TSection::Wan, "mask", "255.x.0.0", "'x' is not a valid integer value"},
        {TSection::Wan, "mask", "255.255.254.0", ""},
        {TSection::Tcp, "listen", "0", "the listen port takes a whole number from 1 to 65535"},
        {TSection::Tcp, "expiry", "256", "the expiry time takes a whole number of seconds from 0 to 255"},
        {TSection::Tcp, "target", "10.0.0.1", "expects an address and port like 192.168.0.100:5000"},
        {TSection::Tcp, "target", "10.0.0.1:70000", "the target port takes a whole number from 1 to 65535"},
        {TSection::Tcp, "mode", "relay", "expects server or client"},
        {TSection::Tcp, "mode", "CLIENT", ""},
        {TSection::Serial, "baud", "300", "takes one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800"},
        {TSection::Serial, "flow", "xon/xoff", "takes one of rts/cts, none"},
        {TSection::Serial, "parity", "Even", ""},
        {TSection::AccessPoint, "ssid", "a", "the SSID needs at least 2 bytes"},
        {TSection::AccessPoint, "ssid", QString(33, 'a'), "the SSID takes at most 32 bytes"},
        {TSection::AccessPoint, "ssid", "우리집😀", "has characters the device's code page (CP949) cannot hold"},
        {TSection::AccessPoint, "password", QString(17, 'p'), "the password takes at most 16 bytes"},
        {TSection::AccessPoint, "ssid", "우리집_WiFi", ""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(RefusalOfKey(c.section, c.key, c.text), c.refusal) << c.key << " " << c.text.toStdString();
}

TEST(SettingsTextChecks, CheckedValuesComeBackInOneForm)
{
    const TCheckedTexts tcp = CheckTexts(
        TSection::Tcp, {{"mode", "Client"}, {"listen", " 8080"}, {"expiry", "010"}, {"target", "192.168.000.001:0502"}}, true);
    ASSERT_TRUE(tcp.value) << tcp.refusal.toStdString();
    EXPECT_EQ(TextsOfValue(*tcp.value),
              (TTexts{{"mode", "client"}, {"listen", "8080"}, {"expiry", "10"}, {"target", "192.168.0.1:502"}}));

    const TCheckedTexts serial = CheckTexts(
        TSection::Serial, {{"baud", "9600"}, {"data", "8"}, {"parity", "EVEN"}, {"stop", "2"}, {"flow", "RTS/CTS"}}, true);
    ASSERT_TRUE(serial.value);
    EXPECT_EQ(TextsOfValue(*serial.value),
              (TTexts{{"baud", "9600"}, {"data", "8"}, {"parity", "even"}, {"stop", "2"}, {"flow", "rts/cts"}}));

    // The saves need the device's settings read first, as in the window.
    const TCheckedTexts unread = CheckTexts(TSection::Wan, {{"ip", "1.2.3.4"}, {"gateway", "1.2.3.1"}, {"mask", "0.0.0.0"}}, false);
    EXPECT_FALSE(unread.value);
    EXPECT_EQ(unread.refusal, "read the device's settings first (status)");
}

TEST(SettingsTextChecks, ValuesTravellingWithTheByte254CannotBeReadBack)
{
    struct TCase {
        TSection section;
        TTexts texts;
        QStringList unreadable;
    };
    const std::vector<TCase> cases = {
        {TSection::Wan, {{"ip", "10.0.0.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.254.0"}}, {"mask"}},
        {TSection::Wan, {{"ip", "10.0.254.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.255.0"}}, {"ip"}},
        {TSection::Tcp, {{"mode", "server"}, {"listen", "510"}, {"expiry", "254"}, {"target", "10.0.0.1:80"}}, {"listen", "expiry"}},
        {TSection::Tcp, {{"mode", "server"}, {"listen", "8080"}, {"expiry", "30"}, {"target", "10.0.0.1:65024"}}, {"target"}},
        {TSection::Tcp, {{"mode", "server"}, {"listen", "8080"}, {"expiry", "30"}, {"target", "10.0.0.1:5000"}}, {}},
        {TSection::AccessPoint, {{"ssid", "괆괆"}, {"password", "pass1234"}}, {"ssid"}},
    };
    for (const TCase& c : cases) {
        const TCheckedTexts checked = CheckTexts(c.section, c.texts, true);
        ASSERT_TRUE(checked.value) << checked.refusal.toStdString();
        EXPECT_EQ(UnreadableKeys(*checked.value), c.unreadable) << SectionName(c.section).toStdString();
    }
}

TEST(SettingsTextChecks, AGivenValueIsHeldToTheRulesOfTheCommandLineAndPlans)
{
    struct TCase {
        const char* key;
        QString text;
        bool force;
        QString refusal; // "" when accepted
    };
    const std::vector<TCase> cases = {
        {"ssid", QString("a") + QChar(0) + "p", false,
         "the SSID holds the control character 0x00 (character 2), which no SSID or password may carry"},
        {"ssid", "ap\nx", false, "the SSID holds the control character 0x0A (character 3), which no SSID or password may carry"},
        {"ssid", "ap\rx", true, "the SSID holds the control character 0x0D (character 3), which no SSID or password may carry"},
        {"password", "\x1b[0mpw", false,
         "the password holds the control character 0x1B (character 1), which no SSID or password may carry"},
        {"password", "pass\x7f", false,
         "the password holds the control character 0x7F (character 5), which no SSID or password may carry"},
        {"ssid", "우리집 WiFi~", false, ""},
        {"mask", "255.0.255.0", false,
         "255.0.255.0 is no subnet mask: its ones are not contiguous (--force sends it all the same)"},
        {"mask", "0.255.255.0", false,
         "0.255.255.0 is no subnet mask: its ones are not contiguous (--force sends it all the same)"},
        {"mask", "0.0.0.0", false,
         "0.0.0.0 is no subnet mask: it leaves the device no network of its own (--force sends it all the same)"},
        {"mask", "255.0.255.0", true, ""},
        {"mask", "0.0.0.0", true, ""},
        {"mask", "255.255.255.255", false, ""},
        {"mask", "128.0.0.0", false, ""},
        {"mask", "255.255.0.300", true, "each address field takes a whole number from 0 to 255"},
        {"ip", "0.0.0.0", false, ""},
    };
    for (const TCase& c : cases) {
        const TSection section = QString(c.key) == "mask" || QString(c.key) == "ip" ? TSection::Wan : TSection::AccessPoint;
        EXPECT_EQ(RefusalOfGiven(section, c.key, c.text, c.force), c.refusal) << c.key << " " << c.text.toStdString();
    }
    // The window's checks, and a value the device reports, are not held to them.
    EXPECT_EQ(RefusalOfKey(TSection::Wan, "mask", "0.0.0.0"), "");
    EXPECT_EQ(RefusalOfKey(TSection::AccessPoint, "ssid", "ap\nx"), "");
}

TEST(SettingsTextChecks, AnUnreadableTextNamesItsCharacter)
{
    EXPECT_EQ(UnreadableValueWording("ssid", "2층 창고"), "a text with 층 (C3 FE in CP949, the byte 254)");
    EXPECT_EQ(UnreadableValueWording("password", "a괆b"), "a text with 괆 (B0 FE in CP949, the byte 254)");
    EXPECT_EQ(UnreadableValueWording("mask", "255.255.254.0"), "a value with the byte 254");
}
