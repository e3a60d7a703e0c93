// r7730ctl: the device's settings from a shell, beside the window and on the same device layer.
// main() reads the command line, runs the command in a Qt core application (the port hands its
// events to this thread) and turns a failure into its message and exit code.
#include <QCoreApplication>
#include <cstdio>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/failure.h"
#include "cli/output.h"

using namespace r7730::cli;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("r7730ctl"));
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
