#pragma once
// Ctrl+C (or SIGTERM) ends the waits of a session instead of the process, for as long as a
// TInterruptOnSignals lives: the handler only writes a byte to a pipe, the event loop reads it
// and interrupts the session, so a watching command can still print what it gathered.
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace r7730::cli {

class TCtlSession;

class TInterruptOnSignals {
public:
    explicit TInterruptOnSignals(TCtlSession& session);
    ~TInterruptOnSignals();
    TInterruptOnSignals(const TInterruptOnSignals&) = delete;
    TInterruptOnSignals& operator=(const TInterruptOnSignals&) = delete;

private:
    static inline int writeEnd_ = -1;
    int pipe_[2] = {-1, -1};
    struct sigaction previousInt_ {}, previousTerm_ {};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace r7730::cli
