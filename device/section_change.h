#pragma once
// One section's change made ready before anything is sent: the device's present values read,
// what was given laid over them, every key required and the whole set put through the device's
// checks, giving the value the save frame carries.
//
// Every front end (r7730ctl's set and restore, the production line, the save's own read-back)
// reads and prepares a section here; a refusal says which key and why, each front end words it.
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

#include "device/settings_texts.h"

namespace r7730 {

class TDeviceSession;

// The device's present values of a section: those of the status reply, or for the access
// point a read of the current access point; nothing when that read goes unanswered. May raise
// ESessionEnded like every read of the session.
std::optional<TTexts> ReadSectionTexts(TDeviceSession& session, TSection section, const TStatusReply& status);

struct TSectionChange {
    TSection section = TSection::Wan;
    TTexts given;           // the keys asked for
    TTexts before;          // what the device held
    TTexts sent;            // the whole set, as checked
    TSettingsValue value;   // what the save frame carries
    QStringList unverified; // keys whose value cannot be read back
    bool Changes() const { return sent != before; }
};

struct TSectionRefusal {
    enum class TKind {
        NotReported, // the device reported no value for key and none was given
        HeldRefused, // the checks refuse the value the device holds for key (held), not given
        SetRefused,  // the set is refused as a whole; no single held value is to blame
    };
    TKind kind = TKind::SetRefused;
    QString key;        // the key to blame; empty for SetRefused
    QString held;       // HeldRefused: the text the device holds for key
    QString why;        // HeldRefused: why that value is refused; SetRefused: the checks' refusal
    QString setRefusal; // HeldRefused and SetRefused: the checks' refusal of the whole set
};

// given over current (the device's values of the section). The given texts are expected to
// have passed their own checks one by one, so a refusal names a held value where one is to blame.
std::variant<TSectionChange, TSectionRefusal> PrepareSectionChange(TSection section, const TTexts& given,
                                                                   const TTexts& current, bool statusReceived);

} // namespace r7730
