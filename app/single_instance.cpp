#include "app/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace r7730 {

TInstanceGuardResult AcquireSingleInstance(const std::string& name)
{
    std::string folder;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && ::access(runtime, W_OK) == 0)
        folder = runtime;
    std::string path = folder.empty() ? "/tmp/" + name + "-" + std::to_string(::getuid()) + ".lock"
                                      : folder + "/" + name + ".lock";

    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return TInstanceGuardResult::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? TInstanceGuardResult::AlreadyRunning : TInstanceGuardResult::Unavailable;
    }
    // The descriptor stays open on purpose: the lock lives as long as the process.
    return TInstanceGuardResult::Acquired;
}

} // namespace r7730
