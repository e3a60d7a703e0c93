#include "tools/launcher.h"

#include <QProcess>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace r7730 {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTerminalProgram = "xterm";

bool IsExecutableFile(const fs::path& file)
{
    std::error_code error;
    return fs::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0;
}

std::string CannotStart(const std::string& program, const std::string& why)
{
    return "Cannot start " + program + ": " + why;
}

// The window title of a terminal: the command as a person would type it.
std::string CommandTitle(const TLaunchRequest& request)
{
    std::string title = request.program;
    for (const std::string& argument : request.arguments)
        title += " " + argument;
    return title;
}

} // namespace

TLaunchEnvironment TLaunchEnvironment::OfThisProcess()
{
    const char* display = std::getenv("DISPLAY");
    const char* path = std::getenv("PATH");
    return {display != nullptr && *display != '\0', path ? path : ""};
}

std::string FindOnPath(const std::string& name, const std::string& path)
{
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = path.find(':', start);
        const std::string folder = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        if (IsExecutableFile(candidate))
            return fs::absolute(candidate).lexically_normal().string();
        if (end == std::string::npos)
            return {};
        start = end + 1;
    }
}

TLaunchCommand PlanLaunch(const TLaunchRequest& request, const TLaunchEnvironment& environment)
{
    const auto refuse = [&](const std::string& why) {
        TLaunchCommand command;
        command.failure = CannotStart(request.program, why);
        return command;
    };
    std::error_code error;
    if (!request.workingFolder.empty() && !fs::is_directory(request.workingFolder, error))
        return refuse("the folder " + request.workingFolder + " does not exist");

    std::string program;
    if (request.program.find('/') != std::string::npos) {
        const fs::path base = request.workingFolder.empty() ? fs::path(".") : fs::path(request.workingFolder);
        const fs::path file = base / request.program;
        if (!fs::exists(file, error))
            return refuse("there is no " + file.lexically_normal().string());
        if (!IsExecutableFile(file))
            return refuse(file.lexically_normal().string() + " is not an executable program");
        program = fs::absolute(file).lexically_normal().string();
    } else {
        program = FindOnPath(request.program, environment.path);
        if (program.empty())
            return refuse("not found on PATH");
    }

    TLaunchCommand command;
    command.workingFolder = request.workingFolder;
    if (request.window == TLaunchWindow::None || !environment.hasDisplay) {
        command.program = program;
        command.arguments = request.arguments;
        return command;
    }
    command.program = FindOnPath(kTerminalProgram, environment.path);
    if (command.program.empty())
        return refuse(std::string("no terminal window: ") + kTerminalProgram + " not found on PATH");
    command.arguments = {"-T", CommandTitle(request)};
    if (request.window == TLaunchWindow::TerminalKeptOpen)
        command.arguments.push_back("-hold");
    // -e comes last: the program and its arguments follow as separate words.
    command.arguments.push_back("-e");
    command.arguments.push_back(program);
    command.arguments.insert(command.arguments.end(), request.arguments.begin(), request.arguments.end());
    return command;
}

TLaunchResult TProcessLauncher::Launch(const TLaunchRequest& request)
{
    const TLaunchCommand command = PlanLaunch(request, environment_ ? *environment_ : TLaunchEnvironment::OfThisProcess());
    if (!command.failure.empty())
        return TLaunchResult::Failed(command.failure);
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments << QString::fromStdString(argument);
    QProcess process;
    process.setProgram(QString::fromStdString(command.program));
    process.setArguments(arguments);
    process.setWorkingDirectory(QString::fromStdString(command.workingFolder));
    if (!process.startDetached())
        return TLaunchResult::Failed(CannotStart(request.program, process.errorString().toStdString()));
    return TLaunchResult::Started();
}

} // namespace r7730
