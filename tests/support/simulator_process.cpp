#include "support/simulator_process.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace r7730::testing {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(3);

std::string readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

pid_t spawn(const std::vector<std::string>& arguments, const std::string& outputPath, const QString& workingFolder = {})
{
    std::vector<std::string> command = {R7730_SIMULATOR_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& part : command)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const std::string folder = workingFolder.toStdString();
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

template <typename Condition>
bool waitUntil(Condition condition)
{
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

} // namespace

SimulatorProcess::SimulatorProcess(std::vector<std::string> extraArguments, QString folder)
    : folder_(folder.isEmpty() ? temporary_.path() : folder), linkPath_((folder_ + "/dev/R7730LX").toStdString())
{
    std::vector<std::string> arguments = {"--no-terminal", "--link", linkPath(), "--log",
                                          (folder_ + "/frames.log").toStdString(), "--reboot-ms", "300"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    pid_ = spawn(arguments, (folder_ + "/output.txt").toStdString());
    waitUntil([this] { return !linkTarget().empty(); });
}

SimulatorProcess::SimulatorProcess(TOwnLink start, std::vector<std::string> extraArguments) : folder_(temporary_.path())
{
    std::vector<std::string> arguments = {"--no-terminal", "--log", (folder_ + "/frames.log").toStdString(),
                                          "--reboot-ms", "300"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    pid_ = spawn(arguments, (folder_ + "/output.txt").toStdString(), start.workingFolder);
    // "link: ./dev/R7730LX-sim -> /dev/pts/3", relative to the simulator's working folder.
    const std::string prefix = "link: ";
    waitUntil([&] {
        const std::string text = output();
        const std::size_t at = text.find(prefix), arrow = text.find(" -> ", at);
        if (at == std::string::npos || arrow == std::string::npos)
            return false;
        const QString link = QString::fromStdString(text.substr(at + prefix.size(), arrow - at - prefix.size()));
        linkPath_ = QDir::cleanPath(start.workingFolder + "/" + link).toStdString();
        return true;
    });
    waitUntil([this] { return !linkTarget().empty(); });
}

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

std::string SimulatorProcess::linkPath() const
{
    return linkPath_;
}

std::string SimulatorProcess::linkTarget() const
{
    char target[256];
    const ssize_t length = readlink(linkPath().c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

bool SimulatorProcess::openPort()
{
    closePort();
    port_ = open(linkPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port_ < 0)
        return false;
    termios settings{};
    tcgetattr(port_, &settings);
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    tcsetattr(port_, TCSANOW, &settings);
    return true;
}

void SimulatorProcess::closePort()
{
    if (port_ >= 0)
        close(port_);
    port_ = -1;
}

void SimulatorProcess::send(const Bytes& bytes)
{
    std::size_t offset = 0;
    while (port_ >= 0 && offset < bytes.size()) {
        const ssize_t written = write(port_, bytes.data() + offset, bytes.size() - offset);
        if (written < 0 && errno != EAGAIN)
            return;
        if (written > 0)
            offset += static_cast<std::size_t>(written);
    }
}

Bytes SimulatorProcess::receive(std::size_t count)
{
    Bytes received;
    const auto deadline = Clock::now() + kPatience;
    while (port_ >= 0 && received.size() < count && Clock::now() < deadline) {
        pollfd entry{port_, POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0 || !(entry.revents & POLLIN))
            continue;
        std::uint8_t buffer[4096];
        const ssize_t length = read(port_, buffer, std::min(sizeof buffer, count - received.size()));
        if (length <= 0)
            break;
        received.insert(received.end(), buffer, buffer + length);
    }
    return received;
}

bool SimulatorProcess::waitForHangUp()
{
    const auto deadline = Clock::now() + kPatience;
    while (port_ >= 0 && Clock::now() < deadline) {
        pollfd entry{port_, POLLIN, 0};
        if (poll(&entry, 1, 50) <= 0)
            continue;
        std::uint8_t buffer[256];
        const ssize_t length = read(port_, buffer, sizeof buffer);
        if (length == 0 || (length < 0 && errno == EIO))
            return true;
    }
    return false;
}

std::string SimulatorProcess::log() const
{
    return readWholeFile(folder_ + "/frames.log");
}

std::string SimulatorProcess::output() const
{
    return readWholeFile(folder_ + "/output.txt");
}

bool SimulatorProcess::logContains(const std::string& text)
{
    return waitUntil([&] { return log().find(text) != std::string::npos; });
}

bool SimulatorProcess::outputContains(const std::string& text)
{
    return waitUntil([&] { return output().find(text) != std::string::npos; });
}

int SimulatorProcess::stop()
{
    closePort();
    if (pid_ <= 0)
        return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runSimulatorOnce(const std::vector<std::string>& arguments, std::string& output)
{
    QTemporaryDir folder;
    const QString outputPath = folder.path() + "/output.txt";
    std::vector<std::string> all = {"--no-terminal"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const pid_t pid = spawn(all, outputPath.toStdString());
    int status = 0;
    // A run that does not end by itself is stopped after the usual patience.
    const auto deadline = Clock::now() + kPatience;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid, SIGTERM);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    output = readWholeFile(outputPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace r7730::testing
