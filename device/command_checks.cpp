#include "device/command_checks.h"

#include <optional>

#include "protocol/code_page.h"
#include "protocol/hex_text.h"

namespace r7730 {
namespace {

struct TRuleMessages {
    TRefusalRule rule;
    const char* window;
    const char* english;
};

constexpr TRuleMessages kMessages[] = {
    {TRefusalRule::StatusNotRead, "[현재설정확인] 을 선행 해주기시 바랍니다.",
     "read the device's settings first (status)"},
    {TRefusalRule::WanBlank, "IP 주소에는 공란입력이 불가합니다.", "an address field is empty"},
    {TRefusalRule::WanOctetRange, "0 ~ 255 정수만 입력 가능합니다.", "each address field takes a whole number from 0 to 255"},
    {TRefusalRule::ListenPortRange, "Listen Port는 1 ~ 65535 정수만 가능합니다.",
     "the listen port takes a whole number from 1 to 65535"},
    {TRefusalRule::TargetPortRange, "Target(Server) Port는 1 ~ 65535 정수만 가능합니다.",
     "the target port takes a whole number from 1 to 65535"},
    {TRefusalRule::ExpiryTimeRange, "Server Expire Time(Sec)은0 ~ 255 정수만 가능합니다.",
     "the expiry time takes a whole number of seconds from 0 to 255"},
    {TRefusalRule::TargetIpBlank, "Target(Server) IP주소에는 공란을 입력할 수 없습니다.",
     "a field of the target address is empty"},
    {TRefusalRule::TargetIpRange, "Target(Server)IP주소는 0 ~ 255 정수만 입력 가능합니다.",
     "each field of the target address takes a whole number from 0 to 255"},
    {TRefusalRule::SsidTooShort, "SSID를 확인하세요.", "the SSID needs at least 2 bytes"},
    {TRefusalRule::SsidTooLong, "SSID는 32바이트까지 입력할 수 있습니다.", "the SSID takes at most 32 bytes"},
    {TRefusalRule::PasswordTooLong, "비밀번호는 16바이트까지 입력할 수 있습니다.", "the password takes at most 16 bytes"},
    {TRefusalRule::SsidUnencodable, "SSID에 사용할 수 없는 문자가 있습니다.",
     "the SSID has characters the device's code page (CP949) cannot hold"},
    {TRefusalRule::PasswordUnencodable, "비밀번호에 사용할 수 없는 문자가 있습니다.",
     "the password has characters the device's code page (CP949) cannot hold"},
    {TRefusalRule::FlashIntervalRange, "1 ~ 65535 정수만 가능합니다.",
     "the flash-save interval takes a whole number from 0 to 65535"},
    {TRefusalRule::FlashDelayRange, "Flash save Delay는 0 ~ 255 정수만 가능합니다.",
     "the flash-save delay takes a whole number from 0 to 255"},
    {TRefusalRule::DownloadOctetRange, "0 ~ 255 정수만 입력 가능합니다.",
     "each field of the download address takes a whole number from 0 to 255"},
    {TRefusalRule::DownloadPortRange, "1 ~ 65535 정수만 가능합니다.", "the download port takes a whole number from 1 to 65535"},
    {TRefusalRule::FileNameTooShort, "Filename를 확인하세요.", "the file name needs at least 2 bytes"},
    {TRefusalRule::FileNameTooLong, "파일 이름은 32바이트까지 입력할 수 있습니다.", "the file name takes at most 32 bytes"},
};

const TRuleMessages& MessagesOf(TRefusalRule rule)
{
    for (const TRuleMessages& messages : kMessages)
        if (messages.rule == rule)
            return messages;
    return kMessages[0];
}

// A number field within [low, high]: its value, or nothing when out of range. A text that is no
// number raises the conversion error. Negative numbers are outside every range: the key filter
// keeps "-" out of the boxes, but a pasted or loaded text can still hold one.
std::optional<int> InRange(const std::string& text, int low, int high)
{
    const int value = StrToInt(text);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

// The four fields of an address, converted in order: nothing at the first out of range.
std::optional<TIpAddress> Address(const TAddressTexts& texts)
{
    TIpAddress ip{};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::optional<int> octet = InRange(texts[i], 0, 255);
        if (!octet)
            return std::nullopt;
        ip[i] = static_cast<std::uint8_t>(*octet);
    }
    return ip;
}

bool AnyEmpty(const TAddressTexts& texts)
{
    for (const std::string& text : texts)
        if (text.empty())
            return true;
    return false;
}

// A port field: empty or outside 1..65535 is refused.
std::optional<std::uint16_t> Port(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    const std::optional<int> port = InRange(text, 1, 65535);
    if (!port)
        return std::nullopt;
    return static_cast<std::uint16_t>(*port);
}

TRefusal Refuse(TRefusalRule rule, TCheckedField field = TCheckedField::None)
{
    return TRefusal{rule, field};
}

} // namespace

const char* WindowMessage(TRefusalRule rule)
{
    return MessagesOf(rule).window;
}

const char* EnglishMessage(TRefusalRule rule)
{
    return MessagesOf(rule).english;
}

TChecked<TWanSettings> CheckWanSettings(bool statusReceived, const TWanTexts& texts)
{
    if (!statusReceived)
        return Refuse(TRefusalRule::StatusNotRead);
    // Empty fields are looked for in all twelve before any value is converted.
    for (const TAddressTexts* address : {&texts.ip, &texts.gateway, &texts.subnetMask})
        if (AnyEmpty(*address))
            return Refuse(TRefusalRule::WanBlank);
    TWanSettings settings;
    for (auto [address, value] : {std::pair{&texts.ip, &settings.ip}, std::pair{&texts.gateway, &settings.gateway},
                                  std::pair{&texts.subnetMask, &settings.subnetMask}}) {
        const std::optional<TIpAddress> checked = Address(*address);
        if (!checked)
            return Refuse(TRefusalRule::WanOctetRange);
        *value = *checked;
    }
    return settings;
}

TChecked<TTcpSettings> CheckTcpSettings(bool statusReceived, const TTcpTexts& texts)
{
    if (!statusReceived)
        return Refuse(TRefusalRule::StatusNotRead);
    // Both roles' fields are checked whichever role is chosen: the frame carries them all.
    TTcpSettings settings;
    settings.mode = texts.mode;
    const std::optional<std::uint16_t> listenPort = Port(texts.listenPort);
    if (!listenPort)
        return Refuse(TRefusalRule::ListenPortRange, TCheckedField::ListenPort);
    settings.listenPort = *listenPort;
    const std::optional<std::uint16_t> targetPort = Port(texts.targetPort);
    if (!targetPort)
        return Refuse(TRefusalRule::TargetPortRange, TCheckedField::TargetPort);
    settings.targetPort = *targetPort;
    const std::optional<int> expiry = texts.expiryTime.empty() ? std::nullopt : InRange(texts.expiryTime, 0, 255);
    if (!expiry)
        return Refuse(TRefusalRule::ExpiryTimeRange, TCheckedField::ExpiryTime);
    settings.expirySeconds = static_cast<std::uint8_t>(*expiry);
    if (AnyEmpty(texts.targetIp))
        return Refuse(TRefusalRule::TargetIpBlank);
    const std::optional<TIpAddress> targetIp = Address(texts.targetIp);
    if (!targetIp)
        return Refuse(TRefusalRule::TargetIpRange);
    settings.targetIp = *targetIp;
    return settings;
}

TChecked<TSerialSettings> CheckSerialSettings(bool statusReceived, const TSerialSettings& settings)
{
    if (!statusReceived)
        return Refuse(TRefusalRule::StatusNotRead);
    return settings;
}

TChecked<TAccessPoint> CheckAccessPoint(const TAccessPoint& accessPoint)
{
    if (accessPoint.ssid.size() < 2)
        return Refuse(TRefusalRule::SsidTooShort, TCheckedField::Ssid);
    // A longer text would be cut to its field and stored cut.
    if (accessPoint.ssid.size() > static_cast<std::size_t>(kSsidWidth))
        return Refuse(TRefusalRule::SsidTooLong, TCheckedField::Ssid);
    if (accessPoint.password.size() > static_cast<std::size_t>(kApPasswordWidth))
        return Refuse(TRefusalRule::PasswordTooLong);
    return accessPoint;
}

TChecked<TAccessPoint> CheckAccessPoint(std::u16string_view ssid, std::u16string_view password)
{
    const std::optional<std::string> ssidBytes = WideToAnsiExactly(ssid);
    if (!ssidBytes)
        return Refuse(TRefusalRule::SsidUnencodable, TCheckedField::Ssid);
    const std::optional<std::string> passwordBytes = WideToAnsiExactly(password);
    if (!passwordBytes)
        return Refuse(TRefusalRule::PasswordUnencodable, TCheckedField::Password);
    return CheckAccessPoint(TAccessPoint{*ssidBytes, *passwordBytes});
}

TChecked<TFlashSaveSettings> CheckFlashSave(const TFlashSaveTexts& texts)
{
    const std::optional<int> interval = texts.interval.empty() ? std::nullopt : InRange(texts.interval, 0, 65535);
    if (!interval)
        return Refuse(TRefusalRule::FlashIntervalRange);
    const std::optional<int> delay = InRange(texts.delay, 0, 255);
    if (!delay)
        return Refuse(TRefusalRule::FlashDelayRange);
    return TFlashSaveSettings{static_cast<std::uint16_t>(*interval), static_cast<std::uint8_t>(*delay)};
}

TChecked<TFirmwareDownload> CheckFirmwareDownload(const TFirmwareDownloadTexts& texts)
{
    TFirmwareDownload download;
    const std::optional<TIpAddress> serverIp = Address(texts.serverIp);
    if (!serverIp)
        return Refuse(TRefusalRule::DownloadOctetRange);
    download.serverIp = *serverIp;
    const std::optional<std::uint16_t> port = Port(texts.serverPort);
    if (!port)
        return Refuse(TRefusalRule::DownloadPortRange);
    download.serverPort = *port;
    if (texts.fileName.size() < 2)
        return Refuse(TRefusalRule::FileNameTooShort, TCheckedField::FileName);
    // The frame would cut it, perhaps inside a double-byte character.
    if (texts.fileName.size() > static_cast<std::size_t>(kFirmwareFileWidth))
        return Refuse(TRefusalRule::FileNameTooLong, TCheckedField::FileName);
    download.fileName = texts.fileName;
    return download;
}

} // namespace r7730
