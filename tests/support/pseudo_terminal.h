#pragma once
// A pseudo-terminal pair standing in for the device: the program opens the slave by its path
// (or by a stable link to it), the test reads and writes the master side.
#include <QByteArray>
#include <QString>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace r7730::testing {

class TPseudoTerminal {
public:
    TPseudoTerminal()
    {
        char name[256] = {};
        struct termios raw {};
        cfmakeraw(&raw);
        if (::openpty(&master_, &slave_, name, &raw, nullptr) == 0) {
            slavePath_ = QString::fromLocal8Bit(name);
            // The program opens the slave itself; keeping our own copy open would hide hang-ups.
            ::close(slave_);
            slave_ = -1;
        }
    }
    ~TPseudoTerminal() { Close(); }
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    bool IsOpen() const { return master_ >= 0; }
    QString SlavePath() const { return slavePath_; }

    void Write(const QByteArray& bytes) const
    {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            ssize_t n = ::write(master_, data, static_cast<size_t>(left));
            if (n <= 0)
                return;
            data += n;
            left -= n;
        }
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

    // Pulls the plug: the program's side sees a hang-up.
    void Close()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

} // namespace r7730::testing
