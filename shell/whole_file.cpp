#include "shell/whole_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
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

// ".NAME.k3X9qa": hidden, and not known before it is made.
std::string TemporaryName(const std::string& folder, const std::string& name)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::string suffix;
    for (int i = 0; i < 10; ++i)
        suffix += kLetters[random() % (sizeof(kLetters) - 1)];
    return folder + "/." + name + "." + suffix;
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
    struct stat status {};
    if (!mode)
        mode = target.exists && ::stat(target.path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0644;

    const std::string folder = target.Folder();
    const std::string name = target.path.substr(target.path.rfind('/') == std::string::npos ? 0 : target.path.rfind('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = TemporaryName(folder, name);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, *mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool ok = WriteAllBytes(fd, content) && ::fchmod(fd, *mode) == 0 && ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(temporary.c_str(), target.path.c_str()) == 0;
        if (!ok) {
            const int error = errno;
            ::unlink(temporary.c_str());
            errno = error;
        }
        return ok;
    }
    return false;
}

} // namespace r7730
