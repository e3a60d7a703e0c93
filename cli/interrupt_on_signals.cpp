#include "cli/interrupt_on_signals.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

#include "cli/device_session.h"

namespace r7730::cli {

TInterruptOnSignals::TInterruptOnSignals(TCtlSession& session)
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd_ = pipe_[1];
    struct sigaction action {};
    action.sa_handler = [](int) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(writeEnd_, &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousInt_);
    ::sigaction(SIGTERM, &action, &previousTerm_);
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [&session] { session.Interrupt(); });
}

TInterruptOnSignals::~TInterruptOnSignals()
{
    if (!notifier_)
        return;
    ::sigaction(SIGINT, &previousInt_, nullptr);
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
    writeEnd_ = -1;
}

} // namespace r7730::cli
