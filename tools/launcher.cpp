#include "tools/launcher.h"

#include <QProcess>
#include <QStringList>

namespace r7730 {

bool TProcessLauncher::Launch(const TLaunchRequest& request)
{
    QStringList arguments;
    for (const std::string& argument : request.arguments)
        arguments << QString::fromStdString(argument);
    return QProcess::startDetached(QString::fromStdString(request.program), arguments,
                                   QString::fromStdString(request.workingFolder));
}

} // namespace r7730
