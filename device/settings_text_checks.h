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

} // namespace r7730
