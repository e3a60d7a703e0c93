#include "shell/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <dirent.h>
#include <random>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

namespace r7730 {
namespace {

// What a file of this kind is called in a refusal.
std::string KindName(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a special file";
}

constexpr char kPartialTag[] = ".partial-";
constexpr int kSuffixLength = 10;

// ".NAME.k3X9qa", or ".NAME.partial-k3X9qa" for a growing file: hidden, and not known before it
// is made.
std::string FreshName(const std::string& folder, const std::string& name, const char* tag)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < kSuffixLength; ++i)
        suffix += kLetters[random() % (sizeof(kLetters) - 1)];
    return folder + "/." + name + tag + suffix;
}

std::string BaseName(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The permissions a file replacing the target gets: mode, else the target's, else 0644.
mode_t ModeFor(const TWholeFileTarget& target, std::optional<mode_t> mode)
{
    struct stat status {};
    if (mode)
        return *mode;
    return target.exists && ::stat(target.path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0644;
}

// A fresh file beside the target, made so that nothing planted there is ever opened; -1 with
// errno set when none can be made.
int MakeFreshFile(const TWholeFileTarget& target, const char* tag, mode_t mode, std::string& made)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = FreshName(target.Folder(), BaseName(target.path), tag);
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes the fresh file at made the target: its permissions, on disk, renamed over. The file is
// closed either way; on a failure it is removed and errno tells why.
bool CompleteFreshFile(int fd, mode_t mode, const std::string& made, const std::string& target)
{
    bool ok = ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(made.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(made.c_str());
        errno = error;
    }
    return ok;
}

} // namespace

bool WriteAllBytes(int fd, const std::string& content)
{
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string TWholeFileTarget::Folder() const
{
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

TWholeFileTarget WholeFileTarget(const std::string& path)
{
    TWholeFileTarget target;
    target.path = path;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        if (errno != ENOENT)
            target.refusal = std::string("a path that cannot be examined (") + std::strerror(errno) + ")";
        return target;
    }
    if (S_ISREG(status.st_mode)) {
        target.exists = true;
        return target;
    }
    if (!S_ISLNK(status.st_mode)) {
        target.refusal = KindName(status.st_mode);
        return target;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        target.refusal = errno == ENOENT ? "a link to nothing"
                                         : std::string("a link that cannot be followed (") + std::strerror(errno) + ")";
        return target;
    }
    target.path = resolved;
    std::free(resolved);
    if (::lstat(target.path.c_str(), &status) != 0) {
        target.refusal = "a link to nothing";
        return target;
    }
    if (!S_ISREG(status.st_mode)) {
        target.refusal = "a link to " + KindName(status.st_mode);
        return target;
    }
    target.exists = true;
    return target;
}

bool WriteWholeFile(const std::string& path, const std::string& content, std::optional<mode_t> mode)
{
    const TWholeFileTarget target = WholeFileTarget(path);
    if (!target.refusal.empty()) {
        errno = EINVAL;
        return false;
    }
    const mode_t permissions = ModeFor(target, mode);
    std::string made;
    const int fd = MakeFreshFile(target, ".", permissions, made);
    if (fd < 0)
        return false;
    if (!WriteAllBytes(fd, content)) {
        const int error = errno;
        ::close(fd);
        ::unlink(made.c_str());
        errno = error;
        return false;
    }
    return CompleteFreshFile(fd, permissions, made, target.path);
}

TGrowingWholeFile::~TGrowingWholeFile()
{
    Close();
}

void TGrowingWholeFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    partialPath_.clear();
}

bool TGrowingWholeFile::Begin(const std::string& path, std::optional<mode_t> mode)
{
    Close();
    const TWholeFileTarget target = WholeFileTarget(path);
    if (!target.refusal.empty()) {
        errno = EINVAL;
        return false;
    }
    mode_ = ModeFor(target, mode);
    targetPath_ = target.path;
    fd_ = MakeFreshFile(target, kPartialTag, mode_, partialPath_);
    if (fd_ < 0)
        partialPath_.clear();
    return fd_ >= 0;
}

bool TGrowingWholeFile::Append(const std::string& piece)
{
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    return WriteAllBytes(fd_, piece);
}

bool TGrowingWholeFile::Finish()
{
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    // Renamed while still open: a failure leaves the partial file as it was, for the caller.
    if (::fchmod(fd_, mode_) != 0 || ::fsync(fd_) != 0 || ::rename(partialPath_.c_str(), targetPath_.c_str()) != 0)
        return false;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    partialPath_.clear();
    return closed;
}

void TGrowingWholeFile::Abandon()
{
    if (fd_ >= 0)
        ::unlink(partialPath_.c_str());
    Close();
}

std::string WholeFileFailure(const std::string& path, int error)
{
    const TWholeFileTarget target = WholeFileTarget(path);
    if (!target.refusal.empty())
        return "it is " + target.refusal + ", not a regular file";
    return std::strerror(error);
}

std::vector<std::string> PartialFilesOf(const std::string& path)
{
    const TWholeFileTarget target = WholeFileTarget(path);
    std::vector<std::pair<std::string, struct timespec>> found;
    const std::string prefix = "." + BaseName(target.path) + kPartialTag;
    DIR* folder = target.refusal.empty() ? ::opendir(target.Folder().c_str()) : nullptr;
    if (!folder)
        return {};
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        struct stat status {};
        const std::string partial = target.Folder() + "/" + name;
        if (name.size() == prefix.size() + kSuffixLength && name.compare(0, prefix.size(), prefix) == 0
            && ::lstat(partial.c_str(), &status) == 0 && S_ISREG(status.st_mode))
            found.emplace_back(partial, status.st_mtim);
    }
    ::closedir(folder);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(a.second.tv_sec, a.second.tv_nsec, a.first) < std::tie(b.second.tv_sec, b.second.tv_nsec, b.first);
    });
    std::vector<std::string> paths;
    for (const auto& [partial, modified] : found)
        paths.push_back(partial);
    return paths;
}

} // namespace r7730
