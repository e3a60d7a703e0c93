#pragma once
// The device's settings as the command line names them: four sections (wan, tcp, serial, ap),
// each a few keys whose values are texts as a person types them ("192.168.0.10", "server",
// "115200", "rts/cts"). The same names are the options of `set`, the sections and keys of the
// profile file and the fields of the JSON output, so one vocabulary serves all three.
//
// Texts become command values only through the device's own checks (device/command_checks.h):
// this file splits "A.B.C.D" and "A.B.C.D:PORT" into the fields those checks take, maps the
// serial line's choices to their codes (protocol/serial_line_codes.h) and words a refusal in
// English. The other way round, a status reply or a checked value gives its texts back in one
// canonical form, so what was sent and what the device holds compare as texts.
#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <optional>
#include <variant>

#include "protocol/command_frames.h"
#include "protocol/reply_decoders.h"

namespace r7730::cli {

enum class TSection { Wan, Tcp, Serial, AccessPoint };

// The order a restore applies them: the serial line last, as changing it may move the setup
// link itself.
inline constexpr std::array<TSection, 4> kApplyOrder = {TSection::Wan, TSection::Tcp, TSection::AccessPoint,
                                                       TSection::Serial};

QString SectionName(TSection section); // "wan", "tcp", "serial", "ap"
std::optional<TSection> SectionNamed(const QString& name);
// The keys of a section, in the order they are shown and written.
const QStringList& SectionKeys(TSection section);
// Keys whose texts are numbers (the JSON output writes them as numbers).
bool IsNumberKey(const QString& key);

// key -> text; a key may be missing (not given, or not decoded).
using TTexts = std::map<QString, QString>;

using TSettingsValue = std::variant<TWanSettings, TTcpSettings, TSerialSettings, TAccessPoint>;

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

// The canonical texts of a checked value, of the section of a status reply (keys whose bytes
// did not decode are missing) and of the current access point reply.
TTexts TextsOfValue(const TSettingsValue& value);
TTexts TextsOfStatus(TSection section, const TStatusReply& reply);
TTexts TextsOfAccessPoint(const TCurrentApReply& reply);

// The keys of a value that travel with the byte 0xFE. A reply ends at its first 0xFE, so such a
// value can be stored but never read back.
QStringList UnreadableKeys(const TSettingsValue& value);

} // namespace r7730::cli
