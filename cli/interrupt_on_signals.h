#pragma once
// Ctrl+C (or SIGTERM) interrupts what runs instead of ending the process, for as long as this
// lives: the handler only writes a byte to a pipe, and the event loop of the thread that made
// this object reads it and calls interrupt there.
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace r7730::cli {

class TInterruptOnSignals {
public:
    explicit TInterruptOnSignals(std::function<void()> interrupt)
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
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [interrupt = std::move(interrupt)] { interrupt(); });
    }
    ~TInterruptOnSignals()
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
    TInterruptOnSignals(const TInterruptOnSignals&) = delete;
    TInterruptOnSignals& operator=(const TInterruptOnSignals&) = delete;

private:
    static inline int writeEnd_ = -1;
    int pipe_[2] = {-1, -1};
    struct sigaction previousInt_ {}, previousTerm_ {};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace r7730::cli
