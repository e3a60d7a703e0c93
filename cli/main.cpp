// r7730ctl: the device's settings from a shell, beside the window and on the same device layer.
// main() reads the command line, runs the command in a Qt core application (the port hands its
// events to this thread) and turns a failure into its message and exit code.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/failure.h"
#include "cli/output.h"

using namespace r7730::cli;

namespace {

// A PDF report needs fonts and a paint device: with --pdf the application is a GUI one on the
// offscreen platform, so no display is needed; otherwise a core one.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--pdf") == 0) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
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
