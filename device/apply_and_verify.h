#pragma once
// One section of the device's settings saved and verified by reading it back.
//
// Principles of operation. The values come in checked. The save goes out, the device reboots,
// and its return is polled (TDeviceSession::AwaitReturn: only an answer after the device went
// silent counts, however slowly it answers; a device that never went silent within the reboot
// wait is read back from its newest answer all the same, and the result says no reboot was
// seen). A save of the serial line that leaves the device silent on the port's
// line is tried once more with the port moved to the new line: the setup link itself may have
// moved. The section is then read back (the status reply the device returned with, or a read
// of the current access point) and compared with what was sent in the canonical texts of
// settings_texts.h. A value that travels with the byte 254 can be stored but never reported
// back (unreadable_values.h): it is left out of the comparison and named as not verified.
//
// Nothing here words anything for a person: the result says what happened, each front end
// tells it in its own words.
#include <QStringList>
#include <QtGlobal>
#include <string>

#include "device/settings_texts.h"

namespace r7730 {

class TDeviceSession;

struct TApplyResult {
    TSection section = TSection::Wan;
    TTexts sent;            // every key as sent
    TTexts readBack;        // every key the device reported after the save (a key not decoded is missing)
    QStringList differs;    // keys read back other than sent, or not reported at all
    QStringList unverified; // keys that cannot be read back (a byte 254): never compared
    bool answeredAgain = false;    // the device answered a status read after the save
    bool rebootSeen = false;       // it went silent before that answer (false: it answered throughout)
    std::u16string macAfter;       // the MAC of that answer: another unit's when the unit was swapped
    std::u16string versionAfter;   // the firmware version of that answer
    bool movedLine = false;        // serial line: the port moved to the new line to reach the device
    bool readBackAnswered = false; // the section was read back (false: no answer to the read in time)
    // How long each step took, in milliseconds: writing the save; from the start of the save
    // until the device answered again; reading the section back.
    qint64 sendMs = 0;
    qint64 backAfterMs = 0;
    qint64 readBackMs = 0;
    bool Verified() const { return readBackAnswered && differs.isEmpty(); }
};

// Saves the value over the session's open port and verifies it; raises ESessionEnded when the
// session cannot go on (hang-up, closed port). A device that does not answer again, or not to
// the read-back, ends the steps early with the result saying so.
TApplyResult ApplyAndVerify(TDeviceSession& session, const TSettingsValue& value);

} // namespace r7730
