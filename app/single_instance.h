#pragma once
// Only one copy of the program runs per user: the first copy holds an exclusive lock on a
// file named after the program for its whole life; the system drops the lock when the process
// ends, however it ends. The file lies in /run/user/UID when that folder exists and is the
// user's own, else in .local/state/r7730-setup in the home folder: one place per user whatever
// the environment says, and a folder no other user can write, so nobody else can hold the lock
// to keep the program from starting.
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
