#pragma once
// Ending the program by a signal (SIGTERM at log-out or from a script, SIGINT, SIGHUP when its
// terminal goes away) closes the main window the ordinary way, so the settings are saved and
// the port is closed instead of the process simply vanishing.
//
// The handler only writes one byte to a pipe; the event loop reads it and runs `onSignal`. The
// signals are caught from the first moment on, so one that comes while the windows are still
// being made is handled as soon as the event loop runs.
#include <functional>

namespace r7730 {

// First thing in main(): from now on the signals only leave a note in the pipe.
void CatchTerminationSignals();
// Once the application object exists: what to do with a caught signal.
void HandleTerminationSignals(std::function<void()> onSignal);

} // namespace r7730
