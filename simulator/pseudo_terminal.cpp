#include "pseudo_terminal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

[[noreturn]] void fail(const std::string& call, const std::string& what = {})
{
    throw std::runtime_error(call + (what.empty() ? "" : " " + what) + " failed: " + std::strerror(errno));
}

} // namespace

PseudoTerminal::PseudoTerminal()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        fail("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        close(master_);
        fail("grantpt/unlockpt");
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        close(master_);
        fail("ptsname_r");
    }
    serialPath_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

    // Raw mode on the serial end, and one open and close so that the master reports POLLHUP
    // until the program opens the port.
    const int serial = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (serial < 0) {
        close(master_);
        fail("open", serialPath_);
    }
    termios settings{};
    if (tcgetattr(serial, &settings) == 0) {
        cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&settings, B115200);
        cfsetospeed(&settings, B115200);
        tcsetattr(serial, TCSANOW, &settings);
    }
    close(serial);

    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && inotify_add_watch(watch_, name, IN_OPEN) < 0) {
        close(watch_);
        watch_ = -1;
    }
}

PseudoTerminal::~PseudoTerminal()
{
    if (watch_ >= 0)
        close(watch_);
    if (master_ >= 0)
        close(master_);
}

void PseudoTerminal::drainOpenWatch()
{
    char events[4096];
    while (watch_ >= 0 && read(watch_, events, sizeof events) > 0) {
    }
}

bool PseudoTerminal::serialEndOpen() const
{
    pollfd entry{master_, POLLIN, 0};
    if (poll(&entry, 1, 0) < 0)
        return false;
    return (entry.revents & POLLHUP) == 0;
}

namespace {

void makeParentFolder(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty())
        fs::create_directories(parent, error);
}

// A link whose target is gone: its simulator ended without removing it.
bool isDanglingLink(const std::string& path)
{
    struct stat info{};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && stat(path.c_str(), &info) != 0 && errno == ENOENT;
}

} // namespace

PortLink::PortLink(std::string linkPath, const std::string& target) : linkPath_(std::move(linkPath))
{
    makeParentFolder(linkPath_);
    pointAt(target);
}

PortLink::PortLink(Claimed, std::string linkPath, std::string target)
    : linkPath_(std::move(linkPath)), target_(std::move(target))
{
}

std::unique_ptr<PortLink> PortLink::claimFree(const std::string& base, const std::string& target)
{
    makeParentFolder(base);
    for (int number = 1; number <= 99; ++number) {
        const std::string name = number == 1 ? base : base + std::to_string(number);
        if (isDanglingLink(name))
            unlink(name.c_str());
        // symlink() never replaces: a name taken meanwhile by another simulator fails with EEXIST.
        if (symlink(target.c_str(), name.c_str()) == 0)
            return std::unique_ptr<PortLink>(new PortLink(Claimed{}, name, target));
        if (errno != EEXIST)
            fail("symlink", name);
    }
    throw std::runtime_error("no free link name from " + base + " to " + base + "99: other simulators hold them all");
}

PortLink::~PortLink()
{
    remove();
}

void PortLink::remove()
{
    char current[4096];
    const ssize_t length = readlink(linkPath_.c_str(), current, sizeof current - 1);
    if (length > 0 && std::string(current, static_cast<std::size_t>(length)) == target_)
        unlink(linkPath_.c_str());
}

void PortLink::pointAt(const std::string& target)
{
    struct stat info{};
    if (lstat(linkPath_.c_str(), &info) == 0 && !S_ISLNK(info.st_mode))
        throw std::runtime_error("the link path " + linkPath_ + " exists and is not a symlink; not replacing it");
    const std::string fresh = linkPath_ + ".new." + std::to_string(getpid());
    unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0)
        fail("symlink", fresh);
    if (rename(fresh.c_str(), linkPath_.c_str()) != 0) {
        unlink(fresh.c_str());
        fail("rename", linkPath_);
    }
    target_ = target;
}

} // namespace sim
