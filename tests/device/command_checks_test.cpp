// The input checks the window and the command line share: which rule refuses which input, in
// which order, and the values an accepted input gives.
#include <gtest/gtest.h>

#include "device/command_checks.h"
#include "device/unreadable_values.h"
#include "protocol/conversion_error.h"

using namespace r7730;

namespace {

TWanTexts GoodWan()
{
    return {{"192", "168", "0", "10"}, {"192", "168", "0", "1"}, {"255", "255", "255", "0"}};
}

TTcpTexts GoodTcp()
{
    return {"8080", "10", TTcpMode::Client, "502", {"192", "168", "0", "100"}};
}

TFirmwareDownloadTexts GoodDownload()
{
    return {{"192", "168", "0", "5"}, "8070", "/R7730LX_v1.0.bin"};
}

template <typename T>
std::optional<TRefusal> RefusalOf(const TChecked<T>& checked)
{
    if (const TRefusal* refusal = std::get_if<TRefusal>(&checked))
        return *refusal;
    return std::nullopt;
}

struct TRefusalCase {
    const char* name;
    std::function<std::optional<TRefusal>()> check;
    TRefusalRule rule;
    TCheckedField field = TCheckedField::None;
};

} // namespace

TEST(CommandChecks, EachRefusalComesFromItsRuleInOrder)
{
    auto wan = [](auto change) { return [change] { TWanTexts t = GoodWan(); change(t); return RefusalOf(CheckWanSettings(true, t)); }; };
    auto tcp = [](auto change) { return [change] { TTcpTexts t = GoodTcp(); change(t); return RefusalOf(CheckTcpSettings(true, t)); }; };
    auto download = [](auto change) {
        return [change] { TFirmwareDownloadTexts t = GoodDownload(); change(t); return RefusalOf(CheckFirmwareDownload(t)); };
    };
    const TRefusalCase cases[] = {
        {"WAN before a status reply", [] { return RefusalOf(CheckWanSettings(false, GoodWan())); }, TRefusalRule::StatusNotRead},
        {"serial before a status reply", [] { return RefusalOf(CheckSerialSettings(false, {})); }, TRefusalRule::StatusNotRead},
        {"an empty mask field wins over 300 before it",
         wan([](TWanTexts& t) { t.ip[0] = "300"; t.subnetMask[3] = ""; }), TRefusalRule::WanBlank},
        {"gateway 256", wan([](TWanTexts& t) { t.gateway[2] = "256"; }), TRefusalRule::WanOctetRange},
        {"a negative octet", wan([](TWanTexts& t) { t.ip[3] = "-1"; }), TRefusalRule::WanOctetRange},
        {"listen port 0 in client mode", tcp([](TTcpTexts& t) { t.listenPort = "0"; }), TRefusalRule::ListenPortRange,
         TCheckedField::ListenPort},
        {"listen port before target port", tcp([](TTcpTexts& t) { t.listenPort = ""; t.targetPort = "70000"; }),
         TRefusalRule::ListenPortRange, TCheckedField::ListenPort},
        {"target port 65536", tcp([](TTcpTexts& t) { t.targetPort = "65536"; }), TRefusalRule::TargetPortRange,
         TCheckedField::TargetPort},
        {"expiry 256", tcp([](TTcpTexts& t) { t.expiryTime = "256"; }), TRefusalRule::ExpiryTimeRange, TCheckedField::ExpiryTime},
        {"empty expiry", tcp([](TTcpTexts& t) { t.expiryTime = ""; }), TRefusalRule::ExpiryTimeRange, TCheckedField::ExpiryTime},
        {"empty target field before a range", tcp([](TTcpTexts& t) { t.targetIp[0] = "999"; t.targetIp[3] = ""; }),
         TRefusalRule::TargetIpBlank},
        {"target field 256", tcp([](TTcpTexts& t) { t.targetIp[1] = "256"; }), TRefusalRule::TargetIpRange},
        {"one-byte SSID", [] { return RefusalOf(CheckAccessPoint({"a", ""})); }, TRefusalRule::SsidTooShort, TCheckedField::Ssid},
        {"33-byte SSID", [] { return RefusalOf(CheckAccessPoint({std::string(33, 'a'), ""})); }, TRefusalRule::SsidTooLong,
         TCheckedField::Ssid},
        {"17-byte password", [] { return RefusalOf(CheckAccessPoint({"ab", std::string(17, 'p')})); },
         TRefusalRule::PasswordTooLong},
        {"interval 65536", [] { return RefusalOf(CheckFlashSave({"65536", "0"})); }, TRefusalRule::FlashIntervalRange},
        {"empty interval", [] { return RefusalOf(CheckFlashSave({"", "0"})); }, TRefusalRule::FlashIntervalRange},
        {"delay 300", [] { return RefusalOf(CheckFlashSave({"3000", "300"})); }, TRefusalRule::FlashDelayRange},
        {"delay -5", [] { return RefusalOf(CheckFlashSave({"3000", "-5"})); }, TRefusalRule::FlashDelayRange},
        {"download field 256", download([](auto& t) { t.serverIp[3] = "256"; }), TRefusalRule::DownloadOctetRange},
        {"download port 0", download([](auto& t) { t.serverPort = "0"; }), TRefusalRule::DownloadPortRange},
        {"empty download port", download([](auto& t) { t.serverPort = ""; }), TRefusalRule::DownloadPortRange},
        {"one-byte file name", download([](auto& t) { t.fileName = "x"; }), TRefusalRule::FileNameTooShort,
         TCheckedField::FileName},
        {"33-byte file name", download([](auto& t) { t.fileName = "/" + std::string(32, 'f'); }),
         TRefusalRule::FileNameTooLong, TCheckedField::FileName},
        {"an SSID with a snowman, before its length", [] { return RefusalOf(CheckAccessPoint(u"\u2603", u"")); },
         TRefusalRule::SsidUnencodable, TCheckedField::Ssid},
        {"a password with an emoji", [] { return RefusalOf(CheckAccessPoint(u"Cafe", u"pw\U0001F600")); },
         TRefusalRule::PasswordUnencodable, TCheckedField::Password},
        {"a Hangul SSID of 34 bytes", [] { return RefusalOf(CheckAccessPoint(std::u16string(17, u'\uAC00'), u"")); },
         TRefusalRule::SsidTooLong, TCheckedField::Ssid},
    };
    for (const TRefusalCase& c : cases) {
        const std::optional<TRefusal> refusal = c.check();
        ASSERT_TRUE(refusal.has_value()) << c.name;
        EXPECT_EQ(refusal->rule, c.rule) << c.name;
        EXPECT_EQ(refusal->field, c.field) << c.name;
    }
}

TEST(CommandChecks, ATextThatIsNoNumberFailsTheConversionWhenItsTurnComes)
{
    TWanTexts wan = GoodWan();
    wan.gateway[0] = "19 2";
    wan.subnetMask[0] = "300"; // comes later: the conversion fails first
    try {
        CheckWanSettings(true, wan);
        FAIL() << "no conversion error";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'19 2' is not a valid integer value");
    }
    EXPECT_THROW(CheckFlashSave({"10", "ten"}), EConvertError);
    EXPECT_THROW(CheckFirmwareDownload({{"", "0", "0", "1"}, "8070", "/f.bin"}), EConvertError);
}

TEST(CommandChecks, AcceptedInputsGiveTheirValues)
{
    const auto tcp = std::get<TTcpSettings>(CheckTcpSettings(true, {" 65535", "255", TTcpMode::Server, "1", {"0", "0", "0", "0"}}));
    EXPECT_EQ(tcp.listenPort, 65535);
    EXPECT_EQ(tcp.expirySeconds, 255);
    EXPECT_EQ(tcp.targetPort, 1);
    const auto flash = std::get<TFlashSaveSettings>(CheckFlashSave({"0", "255"}));
    EXPECT_EQ(flash.interval, 0);
    EXPECT_EQ(flash.delay, 255);
    EXPECT_TRUE(std::holds_alternative<TAccessPoint>(CheckAccessPoint({"\xB0\xA1", ""}))) << "one Hangul character is 2 bytes";
    EXPECT_TRUE(std::holds_alternative<TAccessPoint>(CheckAccessPoint({std::string(32, 's'), std::string(16, 'p')})))
        << "texts that fill their fields exactly";
    EXPECT_STREQ(WindowMessage(TRefusalRule::ExpiryTimeRange), "Server Expire Time(Sec)은0 ~ 255 정수만 가능합니다.");
}

TEST(CommandChecks, ValuesHoldingTheEndByteAreNamedAsUnreadable)
{
    using F = TUnreadableField;
    const std::pair<std::vector<F>, std::vector<F>> cases[] = {
        {UnreadableFields(TWanSettings{{192, 168, 0, 10}, {192, 168, 0, 254}, {255, 255, 254, 0}}), {F::Gateway, F::SubnetMask}},
        {UnreadableFields(TWanSettings{{192, 168, 0, 10}, {192, 168, 0, 1}, {255, 255, 253, 0}}), {}},
        {UnreadableFields(TTcpSettings{510, 254, TTcpMode::Server, 0xFE00, {10, 0, 0, 1}}),
         {F::ListenPort, F::ExpiryTime, F::TargetPort}},
        {UnreadableFields(TTcpSettings{8080, 10, TTcpMode::Client, 80, {10, 0, 254, 1}}), {F::TargetIp}},
        {UnreadableFields(TAccessPoint{"a\xB0\xFE", "pass"}), {F::Ssid}}, // a and a Hangul syllable, B0 FE
        {UnreadableFields(TAccessPoint{"Office", "\xFE"}), {F::Password}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
}
