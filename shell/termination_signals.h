#pragma once
// Termination signals (SIGINT from Ctrl+C, SIGTERM from a script or at log-out, SIGHUP when the
// terminal goes away) handled in the event loop instead of ending the process on the spot: the
// window closes the ordinary way, r7730ctl interrupts what it waits for and ends in its words.
//
// Principles of operation. The handler only writes a byte to a pipe. A notifier on the pipe's
// other end, in the event loop of the thread that handles the signals, reads every byte waiting
// and then runs the handling once, so the loop goes idle again until the next signal. While an
// object lives the signals are its; an object made during another's life takes them over until
// it goes, and the last one to go gives back what the process did before.
#include <QSocketNotifier>
#include <csignal>
#include <functional>
#include <memory>

namespace r7730 {

class TTerminationSignals {
public:
    // Catches the signals from now on; one caught before Handle waits in the pipe for it.
    TTerminationSignals();
    // Catches the signals and handles them with onSignal.
    explicit TTerminationSignals(std::function<void()> onSignal);
    ~TTerminationSignals();
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

    // What a caught signal does, run in the event loop of the calling thread (the main thread
    // needs its application object first). onSignal may not throw.
    void Handle(std::function<void()> onSignal);

private:
    void Drain();

    int pipe_[2] = {-1, -1};
    int previousWriteEnd_ = -1;
    struct sigaction previous_[3] {};
    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace r7730
