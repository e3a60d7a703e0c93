#pragma once
// The input checks of the device commands: field texts in, either the checked values or the
// refusal out. The window and the command line refuse the same inputs with these; the window
// shows a refusal's Korean message and moves the focus to its field, the command line prints its
// English wording.
//
// Each check runs its rules in a fixed order and stops at the first that fails. A field that
// must be a number and is not raises EConvertError "'<text>' is not a valid integer value" when
// its turn comes (numbers: optional leading blanks, an optional sign, decimal digits). Number
// fields are UTF-8 texts; the texts that travel as they are (SSID, password, file name) are bytes
// of the ANSI code page, since their limits count those bytes.
#include <array>
#include <string>
#include <string_view>
#include <variant>

#include "protocol/command_frames.h"

namespace r7730 {

enum class TRefusalRule {
    StatusNotRead,      // a save before the first status reply
    WanBlank,           // an empty WAN address field
    WanOctetRange,      // a WAN address field outside 0..255
    ListenPortRange,    // listen port empty or outside 1..65535
    TargetPortRange,    // target port empty or outside 1..65535
    ExpiryTimeRange,    // expiry time empty or outside 0..255
    TargetIpBlank,      // an empty target address field
    TargetIpRange,      // a target address field outside 0..255
    SsidTooShort,       // SSID of fewer than 2 bytes
    SsidTooLong,        // SSID longer than its 32-byte field
    PasswordTooLong,    // access point password longer than its 16-byte field
    SsidUnencodable,    // an SSID character the code page cannot carry
    PasswordUnencodable, // a password character the code page cannot carry
    FlashIntervalRange, // flash-save interval empty or outside 0..65535
    FlashDelayRange,    // flash-save delay outside 0..255
    DownloadOctetRange, // a download address field outside 0..255
    DownloadPortRange,  // download port empty or outside 1..65535
    FileNameTooShort,   // firmware file name of fewer than 2 bytes
    FileNameTooLong,    // firmware file name longer than its 32-byte field
};

// The field a refusal points at, where it points at one.
enum class TCheckedField { None, ListenPort, TargetPort, ExpiryTime, Ssid, Password, FileName };

struct TRefusal {
    TRefusalRule rule;
    TCheckedField field = TCheckedField::None;
};

// The window's message for a rule, exactly as the user sees it.
const char* WindowMessage(TRefusalRule rule);
// The same rule in plain English, for the command line.
const char* EnglishMessage(TRefusalRule rule);

template <typename TValues>
using TChecked = std::variant<TValues, TRefusal>;

using TAddressTexts = std::array<std::string, 4>;

struct TWanTexts {
    TAddressTexts ip, gateway, subnetMask;
};

struct TTcpTexts {
    std::string listenPort;
    std::string expiryTime;
    TTcpMode mode = TTcpMode::Server;
    std::string targetPort;
    TAddressTexts targetIp;
};

struct TFlashSaveTexts {
    std::string interval;
    std::string delay;
};

struct TFirmwareDownloadTexts {
    TAddressTexts serverIp;
    std::string serverPort;
    std::string fileName; // ANSI code page
};

// The three saves need the device's settings read once first: statusReceived.
TChecked<TWanSettings> CheckWanSettings(bool statusReceived, const TWanTexts& texts);
TChecked<TTcpSettings> CheckTcpSettings(bool statusReceived, const TTcpTexts& texts);
TChecked<TSerialSettings> CheckSerialSettings(bool statusReceived, const TSerialSettings& settings);
TChecked<TAccessPoint> CheckAccessPoint(const TAccessPoint& accessPoint);
// The same from the texts as typed: a character the code page cannot carry is refused first,
// since it would be stored as '?'.
TChecked<TAccessPoint> CheckAccessPoint(std::u16string_view ssid, std::u16string_view password);
TChecked<TFlashSaveSettings> CheckFlashSave(const TFlashSaveTexts& texts);
TChecked<TFirmwareDownload> CheckFirmwareDownload(const TFirmwareDownloadTexts& texts);

} // namespace r7730
