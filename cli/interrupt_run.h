#pragma once
// Ctrl+C or SIGTERM interrupts a run instead of ending the program: the handler writes a byte to
// a pipe, and the event loop of the main thread reads it and calls `interrupt` there. The
// handlers before are put back when the object goes.
#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace r7730::cli {

class TInterruptRun {
public:
    explicit TInterruptRun(std::function<void()> interrupt)
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
    ~TInterruptRun()
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
    TInterruptRun(const TInterruptRun&) = delete;
    TInterruptRun& operator=(const TInterruptRun&) = delete;

private:
    static inline int writeEnd_ = -1;
    int pipe_[2] = {-1, -1};
    struct sigaction previousInt_ {}, previousTerm_ {};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace r7730::cli
