#pragma once
// A pseudo-terminal pair standing in for the device: the program opens the slave by its path
// (or by a stable link to it), the test reads and writes the master side. Write and
// ReadAvailable take QByteArray; Send and Receive take std::string and give up after a timeout;
// Master() is the descriptor itself, for tests that write to it directly.
//
// The slave starts in raw mode, so bytes written before the program opens it are neither echoed
// nor changed. The master is non-blocking; Write and Send wait for room themselves.
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace r7730::testing {

class TPseudoTerminal {
public:
    TPseudoTerminal()
    {
        int slave = -1;
        char name[256] = {};
        struct termios raw {};
        cfmakeraw(&raw);
        if (::openpty(&master_, &slave, name, &raw, nullptr) == 0) {
            slavePath_ = QString::fromLocal8Bit(name);
            // The program opens the slave itself; keeping our own copy open would hide hang-ups.
            ::close(slave);
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        } else {
            master_ = -1;
        }
    }
    ~TPseudoTerminal() { Close(); }
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    bool IsOpen() const { return master_ >= 0; }
    QString SlavePath() const { return slavePath_; }
    // The master's descriptor (non-blocking), -1 once closed.
    int Master() const { return master_; }

    // Writes every byte, waiting as long as it takes for room; stops only on an error.
    void Write(const QByteArray& bytes) const
    {
        WriteAll(bytes.constData(), static_cast<std::size_t>(bytes.size()), -1);
    }

    // Everything the program has written so far (waits up to `timeoutMs` for the first byte).
    QByteArray ReadAvailable(int timeoutMs = 0) const
    {
        QByteArray bytes;
        pollfd fd{master_, POLLIN, 0};
        while (::poll(&fd, 1, bytes.isEmpty() ? timeoutMs : 0) > 0 && (fd.revents & POLLIN)) {
            char buffer[4096];
            ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            bytes.append(buffer, n);
        }
        return bytes;
    }

    // Writes every byte (waiting for room); false on an error or once timeoutMs has passed.
    bool Send(const std::string& bytes, int timeoutMs = 2000) const
    {
        return WriteAll(bytes.data(), bytes.size(), timeoutMs);
    }

    // Reads until count bytes arrived or timeoutMs passed.
    std::string Receive(std::size_t count, int timeoutMs = 2000) const
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n > 0) {
                got.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            pollfd fd{master_, POLLIN, 0};
            ::poll(&fd, 1, 10);
        }
        return got;
    }

    // Pulls the plug: the program's side sees a hang-up.
    void Close()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    // With timeoutMs < 0 it waits for room without a limit.
    bool WriteAll(const char* data, std::size_t size, int timeoutMs) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        std::size_t done = 0;
        while (done < size) {
            const ssize_t put = ::write(master_, data + done, size - done);
            if (put > 0) {
                done += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (timeoutMs >= 0 && std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd fd{master_, POLLOUT, 0};
            if (::poll(&fd, 1, 10) > 0 && !(fd.revents & POLLOUT))
                std::this_thread::sleep_for(std::chrono::milliseconds(1)); // hung up, full: no busy loop
        }
        return true;
    }

    int master_ = -1;
    QString slavePath_;
};

} // namespace r7730::testing
