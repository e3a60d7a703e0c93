// The real serial platform on Linux: the only code of the component that calls open, flock,
// termios, ioctl, poll, read, write and eventfd (see com_platform.h for the contract).
//
// Line settings map to termios as follows (settings Linux has no equivalent for are named):
//   rate            B-constant when one exists, otherwise termios2 with BOTHER
//   data bits       CS5..CS8          stop bits   CSTOPB for 2; 1.5 also sets CSTOPB (a UART
//                                                 sends 1.5 stop bits with 5 data bits then)
//   parity          PARENB, PARODD, CMSPAR for mark and space; Parity.Check sets INPCK
//   OutCTSFlow / rtsHandshake  CRTSCTS (both directions at once)
//   XonXoffOut / XonXoffIn     IXON / IXOFF with VSTART / VSTOP = XonChar / XoffChar
//   ControlDTR / ControlRTS    DTR and RTS through TIOCMBIS/TIOCMBIC right after tcsetattr
// Settings with no termios equivalent, accepted and ignored: OutDSRFlow, DSRSensitivity,
// TxContinueOnXoff, XonLim/XoffLim, dtrHandshake (DTR is asserted), rtsToggle (RTS is left
// deasserted), EventChar (evRxFlag is never raised), DiscardNull, Parity.Replace with a
// ReplaceChar other than NUL (a byte with a parity error is read as NUL), the driver queue
// sizes (SetupComm) and the timeouts (the component times its own waits).
// Always: raw mode (cfmakeraw), CLOCAL | CREAD, VMIN 1 and VTIME 0 with O_NONBLOCK, so an empty
// queue reads as EAGAIN and a read of 0 bytes means the device hung up.
#include "serial/com_platform.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace r7730 {

namespace linux_speed {
int SetArbitraryRate(int fd, int rate, int& appliedRate);
int ReadOutputRate(int fd, int& rate);
}

namespace {

// How long closing the port waits for bytes still in the driver to be sent.
constexpr int kDrainLimitMs = 1000;

// The error of the call that just failed.
TSysResult LastError(const char* call)
{
    return TSysResult::Failure(errno, call);
}

// "Not supported by this driver": a pseudo-terminal or pl2303 answering a modem or counter ioctl.
bool IsUnsupported(int error)
{
    return error == ENOTTY || error == EINVAL;
}

speed_t SpeedConstant(int rate)
{
    switch (rate) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return B0;
    }
}

class TLinuxWakeSignal : public IComWakeSignal {
public:
    explicit TLinuxWakeSignal(int fd) : fd_(fd) {}
    ~TLinuxWakeSignal() override { ::close(fd_); }
    void Raise() override
    {
        const std::uint64_t one = 1;
        while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    void Clear() override
    {
        std::uint64_t value;
        while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
        }
    }
    int Fd() const { return fd_; }

private:
    int fd_;
};

class TLinuxComDevice : public IComDevice {
public:
    explicit TLinuxComDevice(int fd) : fd_(fd) {}
    ~TLinuxComDevice() override
    {
        // The exclusive-use flag outlives the descriptor on a pseudo-terminal (and on a port
        // another program keeps open): clear it, or a user without root could not open the
        // port again.
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }

    TSysResult SetQueueSizes(int, int) override { return TSysResult::Success(); }
    TSysResult SetTimeouts(const TTimeoutSettings&) override { return TSysResult::Success(); }

    TSysResult SetLine(const TLineSettings& line) override
    {
        if (line.baudRate <= 0)
            return TSysResult::Failure(EINVAL, "SetLine (no rate)");
        termios settings {};
        if (::tcgetattr(fd_, &settings) != 0)
            return LastError("tcgetattr");
        ::cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
        settings.c_iflag &= ~(INPCK | IGNPAR | IXON | IXOFF | IXANY); // cfmakeraw keeps these

        settings.c_cflag &= ~CSIZE;
        switch (line.byteSize) {
        case 5: settings.c_cflag |= CS5; break;
        case 6: settings.c_cflag |= CS6; break;
        case 7: settings.c_cflag |= CS7; break;
        default: settings.c_cflag |= CS8; break;
        }
        settings.c_cflag &= ~CSTOPB;
        if (line.stopBits != sbOneStopBit)
            settings.c_cflag |= CSTOPB;
        settings.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        switch (line.parity) {
        case prNone: break;
        case prOdd: settings.c_cflag |= PARENB | PARODD; break;
        case prEven: settings.c_cflag |= PARENB; break;
        case prMark: settings.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case prSpace: settings.c_cflag |= PARENB | CMSPAR; break;
        }
        if (line.parityCheck)
            settings.c_iflag |= INPCK;
        if (line.outxCtsFlow || line.rtsControl == rtsHandshake)
            settings.c_cflag |= CRTSCTS;
        else
            settings.c_cflag &= ~CRTSCTS;
        if (line.outX)
            settings.c_iflag |= IXON;
        if (line.inX)
            settings.c_iflag |= IXOFF;
        settings.c_cc[VSTART] = static_cast<cc_t>(line.xonChar);
        settings.c_cc[VSTOP] = static_cast<cc_t>(line.xoffChar);

        const speed_t constant = SpeedConstant(line.baudRate);
        const speed_t first = constant != B0 ? constant : B9600; // termios2 sets the real rate next
        ::cfsetispeed(&settings, first);
        ::cfsetospeed(&settings, first);
        if (::tcsetattr(fd_, TCSANOW, &settings) != 0)
            return LastError("tcsetattr");

        if (constant == B0) {
            int applied = 0;
            if (int error = linux_speed::SetArbitraryRate(fd_, line.baudRate, applied); error != 0)
                return TSysResult::Failure(error, "ioctl(TCSETS2)");
        }
        // tcsetattr succeeds if any part applied, and a driver may round the rate to what its
        // clock can make: read the rate back and accept what a UART tolerates (3%).
        int applied = 0;
        if (int error = linux_speed::ReadOutputRate(fd_, applied); error != 0)
            return TSysResult::Failure(error, "ioctl(TCGETS2)");
        const long long wanted = line.baudRate;
        if (std::llabs(applied - wanted) * 100 > wanted * 3)
            return TSysResult::Failure(EINVAL, "tcsetattr (rate not taken)");

        // Opening raised DTR and RTS; set the lines the settings ask for.
        const bool dtrOn = line.dtrControl != dtrDisable;
        if (TSysResult result = SetModemOutput(TIOCM_DTR, dtrOn); !result.Ok())
            return result;
        if (!(settings.c_cflag & CRTSCTS)) {
            const bool rtsOn = line.rtsControl == rtsEnable;
            if (TSysResult result = SetModemOutput(TIOCM_RTS, rtsOn); !result.Ok())
                return result;
        }
        return TSysResult::Success();
    }

    TSysResult Read(void* buffer, int count, int& done, bool& endOfFile) override
    {
        done = 0;
        endOfFile = false;
        if (count <= 0)
            return TSysResult::Success();
        auto* bytes = static_cast<unsigned char*>(buffer);
        std::lock_guard<std::mutex> lock(probeMutex_);
        if (pushedBack_ >= 0) {
            bytes[done++] = static_cast<unsigned char>(pushedBack_);
            pushedBack_ = -1;
        }
        while (done < count) {
            const ssize_t got = ::read(fd_, bytes + done, static_cast<size_t>(count - done));
            if (got > 0) {
                done += static_cast<int>(got);
                continue;
            }
            if (got == 0) {
                endOfFile = true;
                break;
            }
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK || done > 0)
                break;
            return LastError("read");
        }
        return TSysResult::Success();
    }

    TSysResult Write(const void* bytes, int count, int& done) override
    {
        done = 0;
        while (done < count) {
            const ssize_t put = ::write(fd_, static_cast<const char*>(bytes) + done, static_cast<size_t>(count - done));
            if (put >= 0) {
                done += static_cast<int>(put);
                if (put == 0)
                    break;
                continue;
            }
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            if (done > 0)
                break; // report the bytes that left; the next call gets the error
            return LastError("write");
        }
        return TSysResult::Success();
    }

    TSysResult InputQueue(int& count) override
    {
        count = 0;
        int queued = 0;
        if (::ioctl(fd_, FIONREAD, &queued) != 0)
            return LastError("ioctl(FIONREAD)");
        std::lock_guard<std::mutex> lock(probeMutex_);
        count = queued + (pushedBack_ >= 0 ? 1 : 0);
        return TSysResult::Success();
    }

    TSysResult OutputQueue(int& count) override
    {
        count = 0;
        if (::ioctl(fd_, TIOCOUTQ, &count) != 0)
            return LastError("ioctl(TIOCOUTQ)");
        return TSysResult::Success();
    }

    TSysResult LineCounters(TLineCounters& counters, bool& supported) override
    {
        serial_icounter_struct icount {};
        supported = false;
        if (::ioctl(fd_, TIOCGICOUNT, &icount) != 0) {
            if (IsUnsupported(errno))
                return TSysResult::Success();
            return LastError("ioctl(TIOCGICOUNT)");
        }
        supported = true;
        counters.frame = static_cast<std::uint32_t>(icount.frame);
        counters.parity = static_cast<std::uint32_t>(icount.parity);
        counters.overrun = static_cast<std::uint32_t>(icount.overrun);
        counters.bufOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
        counters.brk = static_cast<std::uint32_t>(icount.brk);
        counters.cts = static_cast<std::uint32_t>(icount.cts);
        counters.dsr = static_cast<std::uint32_t>(icount.dsr);
        counters.rng = static_cast<std::uint32_t>(icount.rng);
        counters.dcd = static_cast<std::uint32_t>(icount.dcd);
        return TSysResult::Success();
    }

    TSysResult ModemLines(ModemLineSet& lines, bool& supported) override
    {
        lines = {};
        supported = false;
        int bits = 0;
        if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
            if (IsUnsupported(errno))
                return TSysResult::Success();
            return LastError("ioctl(TIOCMGET)");
        }
        supported = true;
        if (bits & TIOCM_CTS)
            lines.Include(CTS);
        if (bits & TIOCM_DSR)
            lines.Include(DSR);
        if (bits & TIOCM_RI)
            lines.Include(Ring);
        if (bits & TIOCM_CD)
            lines.Include(RLSD);
        return TSysResult::Success();
    }

    // Every read and write ends inside its own call here: there is never a transfer to abort.
    TSysResult AbortTransfers() override { return TSysResult::Success(); }

    // A write here ends once its bytes are in the driver's buffer, not on the wire: let the
    // last frame leave (for a bounded time) before the queues are discarded.
    void DiscardQueues() override
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kDrainLimitMs);
        int pending = 0;
        while (::ioctl(fd_, TIOCOUTQ, &pending) == 0 && pending > 0 && Clock::now() < deadline)
            ::usleep(2000);
        ::tcflush(fd_, TCIOFLUSH);
    }

    TSysResult CreateWakeSignal(std::unique_ptr<IComWakeSignal>& signal) override
    {
        const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0)
            return LastError("eventfd");
        signal = std::make_unique<TLinuxWakeSignal>(fd);
        return TSysResult::Success();
    }

    TSysResult Wait(IComWakeSignal* signal, bool forRead, bool forWrite, int timeoutMs, TWaitResult& result) override
    {
        result = {};
        pollfd fds[2] {};
        fds[0].fd = fd_;
        fds[0].events = static_cast<short>((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0));
        nfds_t count = 1;
        if (signal) {
            fds[1].fd = static_cast<TLinuxWakeSignal*>(signal)->Fd();
            fds[1].events = POLLIN;
            count = 2;
        }
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            int wait = timeoutMs;
            if (timeoutMs >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                wait = left > 0 ? static_cast<int>(left) : 0;
            }
            const int ready = ::poll(fds, count, wait);
            if (ready < 0) {
                if (errno == EINTR)
                    continue;
                return LastError("poll");
            }
            break;
        }
        if (count == 2 && (fds[1].revents & POLLIN))
            result.woken = true;
        const short events = fds[0].revents;
        if (events & (POLLHUP | POLLERR | POLLNVAL)) {
            result.hangUp = true;
            return TSysResult::Success();
        }
        if (events & POLLOUT)
            result.writable = true;
        if (events & POLLIN)
            return ProbeReadable(result);
        return TSysResult::Success();
    }

    TSysResult SetModemOutput(int line, bool on)
    {
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !IsUnsupported(errno))
            return LastError(on ? "ioctl(TIOCMBIS)" : "ioctl(TIOCMBIC)");
        return TSysResult::Success();
    }

private:
    // POLLIN with an empty queue: either the bytes were read meanwhile, or the device hung up
    // (a read gives 0). A byte read to find out is kept for the next Read.
    TSysResult ProbeReadable(TWaitResult& result)
    {
        int queued = 0;
        if (::ioctl(fd_, FIONREAD, &queued) != 0)
            return LastError("ioctl(FIONREAD)");
        std::lock_guard<std::mutex> lock(probeMutex_);
        if (queued > 0 || pushedBack_ >= 0) {
            result.readable = true;
            return TSysResult::Success();
        }
        unsigned char byte = 0;
        const ssize_t got = ::read(fd_, &byte, 1);
        if (got == 1) {
            pushedBack_ = byte;
            result.readable = true;
        } else if (got == 0) {
            result.hangUp = true;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            result.hangUp = errno == EIO || errno == ENXIO;
            if (!result.hangUp)
                return LastError("read");
        }
        return TSysResult::Success();
    }

    int fd_;
    std::mutex probeMutex_;
    int pushedBack_ = -1; // a byte read by ProbeReadable, handed out first by Read
};

// The slave side of a pseudo-terminal: its device numbers are those of the pts devices.
bool IsPseudoTerminal(int fd)
{
    constexpr unsigned kFirstPtsMajor = 136; // the kernel's UNIX98_PTY_SLAVE_MAJOR
    constexpr unsigned kPtsMajors = 8;
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && major(status.st_rdev) >= kFirstPtsMajor &&
           major(status.st_rdev) < kFirstPtsMajor + kPtsMajors;
}

// Calls attempt (a system call answering -1 with errno) again every 2 ms while it answers
// EAGAIN (EWOULDBLOCK for a lock) and the deadline has not passed; its last answer.
template <typename TAttempt>
int RetryWhileBusy(std::chrono::steady_clock::time_point deadline, TAttempt attempt)
{
    int result = -1;
    while ((result = attempt()) == -1 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
           std::chrono::steady_clock::now() < deadline)
        ::usleep(2000);
    return result;
}

class TLinuxComPlatform : public IComPlatform {
public:
    TSysResult Open(const std::string& path, std::unique_ptr<IComDevice>& device) override
    {
        // A tty whose last close is still being finished answers an open with EAGAIN for a
        // moment (a pseudo-terminal opened and closed by its maker just before, say; on a busy
        // machine the kernel may take a good part of a second): try again until a deadline.
        constexpr auto kClosingTtyWait = std::chrono::milliseconds(750);
        const auto deadline = std::chrono::steady_clock::now() + kClosingTtyWait;
        const int fd = RetryWhileBusy(deadline, [&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
        if (fd < 0)
            return LastError("open");
        // Exclusive use: flock keeps out every other opener (root included); TIOCEXCL keeps out
        // other non-root openers that do not use flock. The kernel drops TIOCEXCL at the last
        // close of a serial device, but a pseudo-terminal lives on while its other end is open,
        // so a program killed while connected would lock every later user out: there the
        // flock, which ends with its process, does the work alone. A holder that is closing the
        // port lets it go in a moment (a program ending; or a pseudo-terminal's number handed
        // out again while the last user of the old one still has it open): the lock is tried
        // again until the same deadline.
        if (RetryWhileBusy(deadline, [&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
            const TSysResult result = LastError("flock");
            ::close(fd);
            return result;
        }
        if (!IsPseudoTerminal(fd) && ::ioctl(fd, TIOCEXCL) != 0 && !IsUnsupported(errno)) {
            const TSysResult result = LastError("ioctl(TIOCEXCL)");
            ::close(fd);
            return result;
        }
        device = std::make_unique<TLinuxComDevice>(fd);
        return TSysResult::Success();
    }
};

bool EqualsIgnoringCase(const std::string& text, std::size_t length, const char* upper)
{
    for (std::size_t i = 0; i < length; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i])
            return false;
    return true;
}

} // namespace

IComPlatform& SystemComPlatform()
{
    static TLinuxComPlatform platform;
    return platform;
}

std::string ComPortDevicePath(const std::string& portName)
{
    if (portName.empty() || portName[0] == '/')
        return portName;
    // A relative path to a file that is there (a link made in the working folder, say) is that
    // file, and so is one written from the working folder ("./dev/R7730LX-sim") while it is
    // gone; "serial/by-id/..." with nothing of that name here is under /dev.
    if (portName.find('/') != std::string::npos) {
        std::error_code error;
        if (portName.rfind("./", 0) == 0 || portName.rfind("../", 0) == 0 || std::filesystem::exists(portName, error))
            return std::filesystem::absolute(portName, error).lexically_normal().string();
    }
    if (portName.size() > 3 && EqualsIgnoringCase(portName, 3, "COM") && portName[3] != '0' &&
        portName.size() <= 12) {
        bool digits = true;
        for (std::size_t i = 3; i < portName.size(); ++i)
            digits = digits && std::isdigit(static_cast<unsigned char>(portName[i]));
        if (digits)
            return "/dev/ttyS" + std::to_string(std::stoll(portName.substr(3)) - 1);
    }
    return "/dev/" + portName;
}

} // namespace r7730
