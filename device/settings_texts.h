#pragma once
// The device's settings as texts in one canonical form, so that what was sent and what the
// device reports back compare field by field.
//
// Four sections (wan, tcp, serial, ap), each a few keys ("ip", "listen", "baud", "ssid", ...).
// A checked value gives the texts of every key; a status reply gives those of its section that
// decoded (a reply cut short leaves keys out); the current access point reply gives the SSID
// and the password. The same names serve r7730ctl's options, profile file and JSON fields.
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <variant>

#include "protocol/command_frames.h"
#include "protocol/reply_decoders.h"

namespace r7730 {

enum class TSection { Wan, Tcp, Serial, AccessPoint };

QString SectionName(TSection section); // "wan", "tcp", "serial", "ap"
std::optional<TSection> SectionNamed(const QString& name);
// The keys of a section, in the order they are shown and written.
const QStringList& SectionKeys(TSection section);

// key -> text; a key may be missing (not given, or not decoded).
using TTexts = std::map<QString, QString>;

// One section's settings, checked, as the save commands take them.
using TSettingsValue = std::variant<TWanSettings, TTcpSettings, TSerialSettings, TAccessPoint>;

TSection SectionOf(const TSettingsValue& value);

// The canonical texts of a checked value, of the section of a status reply (keys whose bytes
// did not decode are missing) and of the current access point reply.
TTexts TextsOfValue(const TSettingsValue& value);
TTexts TextsOfStatus(TSection section, const TStatusReply& reply);
TTexts TextsOfAccessPoint(const TCurrentApReply& reply);

// The keys of a value that travel with the byte 0xFE. A reply ends at its first 0xFE, so such a
// value can be stored but never read back (device/unreadable_values.h).
QStringList UnreadableKeys(const TSettingsValue& value);

} // namespace r7730
