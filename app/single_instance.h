#pragma once
// Only one copy of the program runs per user: the first copy holds an exclusive lock on a
// file named after the program in the user's runtime folder (/tmp when there is none) for
// its whole life; the system drops the lock when the process ends, however it ends.
#include <string>

namespace r7730 {

enum class TInstanceGuardResult {
    Acquired,       // this is the only copy
    AlreadyRunning, // another copy holds the lock: end quietly
    Unavailable,    // the guard itself failed: run without protection
};

// Takes the lock named `name` and keeps it until the process exits.
TInstanceGuardResult AcquireSingleInstance(const std::string& name);

} // namespace r7730
