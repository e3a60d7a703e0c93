#pragma once
// The simulated device's serial line: a pseudo-terminal, and a symlink that names it.
//
// Principles of operation: the simulator holds the master side; the program opens the serial
// end (/dev/pts/N, or the link to it) like any serial port. At creation the serial end is set to
// raw mode (no echo, no line editing), opened once and closed again, so the master reports
// POLLHUP from the start until the program opens the port; from then on POLLHUP (or a read that
// fails with EIO) means the program closed it again. An inotify watch on the serial end reports
// the next open at once, so waiting for it needs no polling loop. Closing the master makes the
// port vanish for the program, like a pulled USB adapter. A link named by the user is replaced
// when it already exists as a link; the default link never takes a name another simulator holds
// (PortLink::claimFree). Either is removed on exit only while it still points at this
// simulator's port.
#include <memory>
#include <string>

namespace sim {

class PseudoTerminal {
public:
    // Throws std::runtime_error naming the call that failed.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int masterFd() const { return master_; }
    // Readable when the serial end has been opened since the last drain; -1 without inotify.
    int openWatchFd() const { return watch_; }
    void drainOpenWatch();
    const std::string& serialPath() const { return serialPath_; }
    // True while some process has the serial end open.
    bool serialEndOpen() const;

private:
    int master_ = -1;
    int watch_ = -1;
    std::string serialPath_;
};

class PortLink {
public:
    // Throws std::runtime_error when the path exists and is not a symlink, or cannot be made.
    PortLink(std::string linkPath, const std::string& target);
    ~PortLink();
    // The first free name of base, base2, base3, ... made a link to target. A name is free when
    // nothing is there, or only a link that leads nowhere (left by a simulator that was killed).
    // Throws std::runtime_error when no name up to base99 is free.
    static std::unique_ptr<PortLink> claimFree(const std::string& base, const std::string& target);
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Makes the link lead to target in one step (a new link renamed over the old one), so a
    // program never finds the path missing or leading to a half-made port.
    void pointAt(const std::string& target);
    // Takes the link away, as a pulled adapter's name goes; pointAt makes it again.
    void remove();
    const std::string& path() const { return linkPath_; }

private:
    struct Claimed {};
    PortLink(Claimed, std::string linkPath, std::string target);

    std::string linkPath_;
    std::string target_;
};

} // namespace sim
