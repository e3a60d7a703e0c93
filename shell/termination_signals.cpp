#include "shell/termination_signals.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace r7730 {
namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

// The pipe of the object that holds the signals now; read by the handler only.
std::atomic<int> writeEnd{-1};

void NoteSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &byte, 1);
    errno = saved;
}

} // namespace

TTerminationSignals::TTerminationSignals()
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return; // the process still runs; a signal then ends it the default way
    }
    previousWriteEnd_ = writeEnd.exchange(pipe_[1]);
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &previous_[i]);
}

TTerminationSignals::TTerminationSignals(std::function<void()> onSignal) : TTerminationSignals()
{
    Handle(std::move(onSignal));
}

TTerminationSignals::~TTerminationSignals()
{
    if (pipe_[0] < 0)
        return;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    writeEnd.store(previousWriteEnd_);
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void TTerminationSignals::Handle(std::function<void()> onSignal)
{
    onSignal_ = std::move(onSignal);
    if (pipe_[0] < 0 || notifier_)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Drain(); });
}

void TTerminationSignals::Drain()
{
    // Every signal so far is handled by this one run: the pipe is left empty, the notifier quiet.
    char bytes[64];
    while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_)
        onSignal_();
}

} // namespace r7730
