#pragma once
// Changing one section of the device's settings with read-back verification, for `set` and
// `restore` alike.
//
// Principles of operation, in three steps:
//  1. Before any port is opened, each given text is judged on its own by the device's checks
//     and the rules for given values (RefusalOfGiven: no control character in a text, a mask
//     that is one unless forced); a refusal names the option or file line and ends with exit 2. So does a
//     value that travels with the byte 0xFE, unless unverified storing was asked for: a reply
//     ends at its first 0xFE, so the device could store such a value but never report it.
//  2. With the device's current values read, Prepare fills every key not given from them and
//     puts the whole set through the same checks as the window. A value the device holds that
//     the checks refuse (a stored listen port 0) is named with the option that would replace it,
//     exit 2, and nothing is sent.
//  3. Apply has the device layer save, wait for the rebooting device, read the section back
//     and compare it key by key with what was sent (device/apply_and_verify.h), and words the
//     outcome: which line the device answered on after a serial save, or why it failed.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "device/section_change.h"
#include "device/settings_text_checks.h"

namespace r7730::cli {

class TCtlSession;

// How keys are named to the person, by where they come from.
struct TKeyNamer {
    // A given key with its text: "--ip 10.0.0.300", "profile.ini [wan] ip=10.0.0.300".
    std::function<QString(const QString& key, const QString& text)> given;
    // How to give a key: "--listen", "a listen= line in [tcp] of profile.ini".
    std::function<QString(const QString& key)> toGive;
};

// Step 1. Raises TCliFailure (exit 2) at the first refused key.
void CheckGiven(TSection section, const TTexts& given, bool noVerify, bool forceMask, const TKeyNamer& name);

// A section's change, prepared by the device layer (device/section_change.h).
using TPreparedChange = TSectionChange;

// Step 2. current: the device's values of the section. Raises TCliFailure (exit 2) when the
// checks refuse a value the device holds, (exit 1) when the device reported no value for a key.
TPreparedChange Prepare(TSection section, const TTexts& given, const TTexts& current, bool statusReceived,
                        const TKeyNamer& name);

struct TChangeReport {
    TTexts after;        // what the device holds now
    QStringList differs; // keys whose value differs from what was sent
    QString lineNote;    // serial line: which line the device answered on
    bool rebootSeen = true; // false: the device answered throughout the reboot wait
    double backAfterSeconds = 0;
};

// Step 3. Raises TCliFailure (exit 1) when the device does not answer again.
TChangeReport Apply(TCtlSession& session, const TPreparedChange& change);

} // namespace r7730::cli
