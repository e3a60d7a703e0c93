#include "terminal_window.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {
constexpr const char* kMarker = "R7730_SIMULATOR_IN_TERMINAL";

std::string ownExecutable()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string("Simulator");
}
} // namespace

bool runningInOwnTerminal()
{
    return std::getenv(kMarker) != nullptr;
}

void relaunchInTerminalIfUnseen(const std::vector<std::string>& arguments, bool noTerminal)
{
    // A detached start (setsid) leaves no controlling terminal even when the output still is one.
    const int controlling = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (controlling >= 0)
        close(controlling);
    const bool seen = controlling >= 0 && isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
    const char* display = std::getenv("DISPLAY");
    if (noTerminal || seen || runningInOwnTerminal() || !display || !*display)
        return;
    setenv(kMarker, "1", 1);
    std::vector<std::string> command = {"xterm", "-T", "R7730LX simulator", "-geometry", "110x30", "-e",
                                        ownExecutable()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& part : command)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    execvp("xterm", argv.data());
    std::fprintf(stderr, "Simulator: could not open a terminal window (xterm: %s); running without one\n",
                 std::strerror(errno));
    unsetenv(kMarker);
}

} // namespace sim
