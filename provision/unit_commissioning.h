#pragma once
// One unit commissioned: a plan row's settings applied section by section in a safe order (the
// serial line last, as changing it may move the setup link itself), each saved and verified by
// reading it back (device/apply_and_verify.h), the outcome written into the attempt.
//
// An empty cell keeps the unit's value: the keys a row leaves out are filled from what the unit
// holds (its status reply, or its current access point), and a section the unit holds already
// is not saved again (its fields are recorded as read). The first fault ends the unit, named by
// its step and field: a value the checks refuse, no answer after a save, no answer to the
// read-back, a field read back other than sent. A password appears in the attempt only as
// PasswordRecord gives it.
#include <QString>
#include <functional>

#include "provision/attempt.h"
#include "provision/plan.h"
#include "protocol/reply_decoders.h"

namespace r7730 {
class TDeviceSession;
}

namespace r7730::provision {

// What the unit is doing now, for a person: "writing wan", "waiting for the unit to restart".
using TStateReport = std::function<void(const QString& state)>;
// Asked once, just before the first save to the unit: empty to go on, else why nothing may be
// written (the unit then ends FAIL with that reason and nothing written).
using TWriteGate = std::function<QString()>;

// status: the unit's status reply, read just before. Fills the attempt's fields, differs, steps,
// result (PASS or FAIL), error and firmware after. When the session cannot go on (a hang-up, a
// closed port) the attempt ends FAIL naming the step ("wan: the port went away") and
// ESessionEnded is raised; an interruption ends the unit early as INTERRUPTED.
void CommissionUnit(TDeviceSession& session, const TPlanRow& row, const TStatusReply& status, TAttempt& attempt,
                    const TStateReport& state, const TWriteGate& mayWrite = {});

} // namespace r7730::provision
