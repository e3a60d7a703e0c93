#pragma once
// The device's settings as texts a person types: four sections (wan, tcp, serial, ap), each a
// few keys whose values are texts ("192.168.0.10", "server", "115200", "rts/cts"). The same names
// are r7730ctl's options of `set`, the sections and keys of its profile file, the columns of a
// provisioning plan and the fields of every JSON output, so one vocabulary serves them all.
//
// Texts become command values only through the device's own checks (device/command_checks.h):
// this file splits "A.B.C.D" and "A.B.C.D:PORT" into the fields those checks take, maps the
// serial line's choices to their codes (protocol/serial_line_codes.h) and words a refusal in
// English. The other way round, a status reply or a checked value gives its texts back in one
// canonical form (device/settings_texts.h), so what was sent and what the device holds compare
// as texts.
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "device/settings_texts.h"

namespace r7730 {

// The order a restore applies them: the serial line last, as changing it may move the setup
// link itself.
inline constexpr std::array<TSection, 4> kApplyOrder = {TSection::Wan, TSection::Tcp, TSection::AccessPoint,
                                                       TSection::Serial};

// Keys whose texts are numbers (the JSON output writes them as numbers).
bool IsNumberKey(const QString& key);

struct TCheckedTexts {
    std::optional<TSettingsValue> value;
    QString refusal; // the rule in English, when refused
};

// A complete set of texts through the section's check. statusReceived: the device's settings
// have been read once (the saves need it).
TCheckedTexts CheckTexts(TSection section, const TTexts& texts, bool statusReceived);

// One key judged on its own, the section's other keys standing at values every check accepts:
// the refusal, or "" when accepted. The value it gives is set when accepted.
QString RefusalOfKey(TSection section, const QString& key, const QString& text, TSettingsValue* value = nullptr);

// A value a person gives to r7730ctl (set, restore) or in a plan is held to more than the
// window's checks: an SSID or password without control characters (C0 or DEL), which the device
// would store but no profile or plan line could carry back, and a subnet mask whose ones are
// contiguous and not 0.0.0.0, unless forceMask. The refusal names the field; "" when accepted.
QString RefusalOfGiven(TSection section, const QString& key, const QString& text, bool forceMask,
                       TSettingsValue* value = nullptr);

// An SSID or password text holding a control character: the refusal naming the field and the
// character; "" for any other key or a clean text. Also for what a device reports.
QString ControlCharacterRefusal(const QString& key, const QString& text);

// What makes a key's value unreadable, for the messages that refuse it: "a text with 층 (C3 FE
// in CP949, the byte 254)" for an SSID or password, "a value with the byte 254" for the rest.
QString UnreadableValueWording(const QString& key, const QString& text);

} // namespace r7730
