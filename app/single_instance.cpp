#include "app/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace r7730 {
namespace {

// A real folder (not a link) of this user that nobody else may write into.
bool IsPrivateFolder(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        return user->pw_dir;
    return {};
}

// Makes each missing folder of `path` below `base`, readable by this user only.
bool MakeFolders(const std::string& base, const std::string& relative)
{
    std::string path = base;
    std::size_t start = 0;
    while (start < relative.size()) {
        const std::size_t slash = relative.find('/', start);
        path += "/" + relative.substr(start, slash - start);
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        start = slash == std::string::npos ? relative.size() : slash + 1;
    }
    return true;
}

std::optional<std::string> LockFolder()
{
    const std::string runtime = "/run/user/" + std::to_string(::getuid());
    if (IsPrivateFolder(runtime))
        return runtime;
    const std::string home = HomeFolder();
    if (home.empty() || !MakeFolders(home, ".local/state/r7730-setup"))
        return std::nullopt;
    const std::string state = home + "/.local/state/r7730-setup";
    if (IsPrivateFolder(state))
        return state;
    return std::nullopt;
}

} // namespace

TInstanceGuardResult AcquireSingleInstance(const std::string& name)
{
    const std::optional<std::string> folder = LockFolder();
    if (!folder)
        return TInstanceGuardResult::Unavailable;
    const std::string path = *folder + "/" + name + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return TInstanceGuardResult::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? TInstanceGuardResult::AlreadyRunning : TInstanceGuardResult::Unavailable;
    }
    // The descriptor stays open on purpose: the lock lives as long as the process.
    return TInstanceGuardResult::Acquired;
}

} // namespace r7730
