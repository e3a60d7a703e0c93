// r7730ctl: the device's settings from a shell, beside the window and on the same device layer.
// main() reads the command line, runs the command in a Qt core application (the port hands its
// events to this thread) and turns a failure into its message and exit code.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/arguments.h"
#include "cli/command_table.h"
#include "cli/failure.h"
#include "cli/output.h"

using namespace r7730::cli;

namespace {

// The GUI application asks for the user's runtime folder; without XDG_RUNTIME_DIR Qt warns on
// standard error before it takes /tmp/runtime-USER. That same folder is made (private, as Qt
// wants it) and named here, so a script reading standard error gets only r7730ctl's words. A
// folder there that is not the user's own, or not private, is left to Qt to warn about.
void NameRuntimeFolder()
{
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return;
    const passwd* user = ::getpwuid(::getuid());
    if (!user || !user->pw_name)
        return;
    const std::string folder = std::string("/tmp/runtime-") + user->pw_name;
    struct stat status {};
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return;
    if (::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid()
        && (status.st_mode & 07777) == 0700)
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(folder));
}

// A PDF report needs fonts and a paint device: with --pdf the application is a GUI one on the
// offscreen platform, so no display is needed; otherwise a core one.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--pdf") == 0) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            NameRuntimeFolder();
            return std::make_unique<QGuiApplication>(argc, argv);
        }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char** argv)
{
    const std::unique_ptr<QCoreApplication> application = MakeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("r7730ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(R7730_VERSION));
    TInvocation invocation;
    try {
        invocation = ParseArguments(QCoreApplication::arguments());
    } catch (const TCliFailure& failure) {
        TOutput(false).Failure(failure.Code(), failure.Message());
        return failure.Code();
    }
    if (invocation.help) {
        std::fputs(UsageText().toUtf8().constData(), stdout);
        return kExitDone;
    }
    TOutput output(invocation.json);
    int code = kExitDone;
    try {
        code = RunCommand(invocation, output);
    } catch (const TCliFailure& failure) {
        output.Failure(failure.Code(), failure.Message());
        code = failure.Code();
    } catch (const std::exception& error) {
        output.Failure(kExitDevice, QString::fromUtf8(error.what()));
        code = kExitDevice;
    }
    output.Finish();
    return code;
}
