// Port descriptions on Linux: sysfs for the USB facts, /dev/serial/by-id for the stable link,
// stat() and the group database for permission, /proc for the holders.
#include "serial/com_port_description.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "serial/com_ports_list.h"

namespace r7730 {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

fs::path Canonical(const fs::path& path)
{
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? fs::path() : resolved;
}

// The USB device is the first folder above the tty's device that carries idVendor.
void ReadUsbFacts(const fs::path& ttyEntry, TComPortDescription& port)
{
    fs::path folder = Canonical(ttyEntry / "device");
    for (int depth = 0; depth < 6 && !folder.empty() && folder.has_relative_path(); ++depth) {
        std::error_code error;
        if (fs::exists(folder / "idVendor", error)) {
            port.usbVendorId = FirstLine(folder / "idVendor");
            port.usbProductId = FirstLine(folder / "idProduct");
            port.usbSerial = FirstLine(folder / "serial");
            port.manufacturer = FirstLine(folder / "manufacturer");
            port.product = FirstLine(folder / "product");
            return;
        }
        folder = folder.parent_path();
    }
}

// The stable links of /dev/serial/by-id by the device each leads to, read once for a whole list;
// a device with several keeps the first in text order.
std::map<std::string, std::string> StableLinks(const std::string& byIdFolder)
{
    std::map<std::string, std::string> links;
    std::error_code error;
    fs::directory_iterator it(byIdFolder, error);
    for (fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string link = it->path().string();
        const fs::path device = Canonical(it->path());
        if (device.empty())
            continue; // leads nowhere
        std::string& kept = links[device.string()];
        if (kept.empty() || link < kept)
            kept = link;
    }
    return links;
}

std::string GroupName(gid_t gid)
{
    if (const group* entry = ::getgrgid(gid))
        return entry->gr_name;
    return "gid " + std::to_string(gid);
}

bool ListedInGroup(gid_t gid, const std::string& userName)
{
    const group* entry = ::getgrgid(gid);
    if (!entry || userName.empty())
        return false;
    for (char** member = entry->gr_mem; *member; ++member)
        if (userName == *member)
            return true;
    return false;
}

std::string ModeText(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string OwnerName(uid_t uid)
{
    if (const passwd* entry = ::getpwuid(uid))
        return entry->pw_name;
    return "uid " + std::to_string(uid);
}

// Why the mode and group of the device file keep this user out, or "" when they let it in.
std::string PermissionReason(const std::string& path, const struct stat& file, const TUserIdentity& user)
{
    if (user.uid == 0)
        return {};
    const mode_t mode = file.st_mode;
    const bool inGroup = std::find(user.groups.begin(), user.groups.end(), file.st_gid) != user.groups.end();
    if (file.st_uid == user.uid)
        return (mode & S_IRUSR) && (mode & S_IWUSR) ? std::string() : "its owner (you) may not read and write it (mode " + ModeText(mode) + ")";
    const bool groupMay = (mode & S_IRGRP) && (mode & S_IWGRP);
    if (groupMay && inGroup)
        return {};
    if ((mode & S_IROTH) && (mode & S_IWOTH))
        return {};
    if (groupMay) {
        const std::string group = GroupName(file.st_gid);
        if (ListedInGroup(file.st_gid, user.name))
            return "you joined the " + group + " group after logging in: log out and in again";
        return "not in the " + group + " group (sudo usermod -aG " + group + " $USER, then log in again)";
    }
    return "the device file " + path + " lets only " + OwnerName(file.st_uid) + " use it (mode " + ModeText(mode) + ")";
}

std::string ProgramName(const std::string& procFolder, int pid)
{
    return FirstLine(fs::path(procFolder) / std::to_string(pid) / "comm");
}

bool IsNumber(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Who holds which file now, read once for a whole list of ports: the flock and POSIX locks of
// /proc/locks ("1: FLOCK ADVISORY WRITE 612 00:05:87 0 EOF") and the open files under
// /proc/<pid>/fd (only those of processes this user may look into).
class THolderIndex {
public:
    THolderIndex(const std::string& procFolder, const TUserIdentity& user) : procFolder_(procFolder), user_(user)
    {
        ReadLocks();
        ReadOpenFiles();
    }

    std::vector<TPortHolder> HoldersOf(const struct stat& file, const fs::path& device) const
    {
        std::vector<TPortHolder> holders;
        for (const TLock& lock : locks_)
            if (lock.major == ::major(file.st_dev) && lock.minor == ::minor(file.st_dev) && lock.inode == file.st_ino)
                Add(holders, lock.pid);
        if (const auto open = openBy_.find(device.string()); open != openBy_.end())
            for (int pid : open->second)
                Add(holders, pid);
        return holders;
    }

private:
    struct TLock {
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        int pid = 0;
    };

    void ReadLocks()
    {
        std::ifstream locks(fs::path(procFolder_) / "locks");
        std::string line;
        while (std::getline(locks, line)) {
            std::istringstream fields(line);
            std::string number, kind, advisory, access, where;
            TLock lock;
            if (!(fields >> number >> kind) || kind == "->")
                continue;
            if (!(fields >> advisory >> access >> lock.pid >> where))
                continue;
            if (std::sscanf(where.c_str(), "%x:%x:%llu", &lock.major, &lock.minor, &lock.inode) == 3)
                locks_.push_back(lock);
        }
    }

    void ReadOpenFiles()
    {
        std::error_code error;
        fs::directory_iterator processes(procFolder_, error);
        for (fs::directory_iterator end; !error && processes != end; processes.increment(error)) {
            const std::string name = processes->path().filename().string();
            if (!IsNumber(name))
                continue;
            const int pid = std::stoi(name);
            std::error_code fdError;
            fs::directory_iterator fds(processes->path() / "fd", fdError);
            for (fs::directory_iterator fdEnd; !fdError && fds != fdEnd; fds.increment(fdError)) {
                std::error_code linkError;
                const fs::path target = fs::read_symlink(fds->path(), linkError);
                if (linkError)
                    continue;
                std::vector<int>& pids = openBy_[target.string()];
                if (pids.empty() || pids.back() != pid)
                    pids.push_back(pid);
            }
        }
    }

    void Add(std::vector<TPortHolder>& holders, int pid) const
    {
        if (pid <= 0 || pid == user_.pid)
            return;
        for (const TPortHolder& known : holders)
            if (known.pid == pid)
                return;
        holders.push_back({pid, ProgramName(procFolder_, pid)});
    }

    std::string procFolder_;
    TUserIdentity user_;
    std::vector<TLock> locks_;
    std::map<std::string, std::vector<int>> openBy_; // an open file's path: the processes that hold it
};

} // namespace

std::string HolderText(const std::vector<TPortHolder>& holders)
{
    std::string text;
    for (const TPortHolder& holder : holders) {
        if (!text.empty())
            text += ", ";
        text += (holder.program.empty() ? std::string("a program") : holder.program) + " (PID " +
                std::to_string(holder.pid) + ")";
    }
    return text;
}

namespace {

TComPortAccess AccessWith(const std::string& devicePath, const TUserIdentity& user, const THolderIndex& holders)
{
    TComPortAccess access;
    struct stat file {};
    if (::stat(devicePath.c_str(), &file) != 0) {
        access.reason = errno == ENOENT ? "no such device file (unplugged, or its name changed)"
                                        : std::string("its device file cannot be looked at: ") + std::strerror(errno);
        return access;
    }
    const std::string permission = PermissionReason(devicePath, file, user);
    access.holders = holders.HoldersOf(file, Canonical(devicePath));
    if (!permission.empty())
        access.reason = permission;
    else if (!access.holders.empty())
        access.reason = "held by another program: " + HolderText(access.holders);
    access.usable = access.reason.empty();
    return access;
}

} // namespace

TUserIdentity TUserIdentity::OfThisProcess()
{
    TUserIdentity user;
    user.uid = ::geteuid();
    user.pid = ::getpid();
    user.groups.push_back(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> supplementary(static_cast<std::size_t>(count));
        if (::getgroups(count, supplementary.data()) == count)
            user.groups.insert(user.groups.end(), supplementary.begin(), supplementary.end());
    }
    if (const passwd* entry = ::getpwuid(user.uid))
        user.name = entry->pw_name;
    return user;
}

TComPortAccess ComPortAccess(const std::string& devicePath, const TUserIdentity& user, const std::string& procFolder)
{
    return AccessWith(devicePath, user, THolderIndex(procFolder, user));
}

std::vector<TComPortDescription> DescribeComPorts(const TPortSystemPaths& paths, const TUserIdentity& user)
{
    std::vector<std::string> names;
    ListComPorts(names, paths.sysClassTty, paths.devFolder, paths.simulatedFolder);
    const THolderIndex holders(paths.procFolder, user);
    const std::map<std::string, std::string> stableLinks = StableLinks(paths.byIdFolder);
    std::vector<TComPortDescription> ports;
    for (const std::string& path : names) {
        TComPortDescription port;
        port.path = path;
        port.simulated = !paths.simulatedFolder.empty() && path.rfind(paths.simulatedFolder + "/", 0) == 0;
        if (!port.simulated) {
            ReadUsbFacts(fs::path(paths.sysClassTty) / fs::path(path).filename(), port);
            if (const auto link = stableLinks.find(Canonical(path).string()); link != stableLinks.end())
                port.stableLink = link->second;
        }
        port.access = AccessWith(path, user, holders);
        ports.push_back(std::move(port));
    }
    return ports;
}

std::vector<TComPortDescription> DescribeComPorts()
{
    return DescribeComPorts(TPortSystemPaths{}, TUserIdentity::OfThisProcess());
}

std::string UsbSummary(const TComPortDescription& port)
{
    if (port.usbVendorId.empty())
        return {};
    std::string text = port.usbVendorId + ":" + port.usbProductId;
    std::string name = port.manufacturer;
    if (!port.product.empty())
        name += (name.empty() ? "" : " ") + port.product;
    if (!name.empty())
        text += ", " + name;
    if (!port.usbSerial.empty())
        text += ", serial " + port.usbSerial;
    return text;
}

std::string PortSummary(const TComPortDescription& port)
{
    std::string text = port.simulated              ? std::string("simulated device")
                       : port.usbVendorId.empty() ? std::string("on-board")
                                                  : UsbSummary(port);
    if (!port.access.usable && !port.access.reason.empty())
        text += " (cannot open: " + port.access.reason + ")";
    return text;
}

} // namespace r7730
