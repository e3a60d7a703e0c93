#pragma once
// How r7730ctl ends: its exit codes, and the failure that carries one up to main().
//
// A command that cannot go on throws TCliFailure with the exit code and the message for the
// person; main() prints the message on standard error (and, with --json, an error document on
// standard output) and ends with the code.
#include <QString>
#include <stdexcept>

namespace r7730::cli {

enum TExitCode : int {
    kExitDone = 0,     // done
    kExitDevice = 1,   // port or device failure: no answer within the timeout, hang-up
    kExitRefused = 2,  // bad usage or a refused value: nothing was sent
    kExitMismatch = 3, // the device holds other values than were sent
};

class TCliFailure : public std::runtime_error {
public:
    TCliFailure(TExitCode code, const QString& message) : std::runtime_error(message.toStdString()), code_(code) {}
    TExitCode Code() const { return code_; }
    QString Message() const { return QString::fromStdString(what()); }

private:
    TExitCode code_;
};

} // namespace r7730::cli
