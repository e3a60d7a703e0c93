#pragma once
// The real r7730ctl run to its end for a test, in a folder of the test's own.
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <map>

namespace {

struct TRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs r7730ctl to its end in the folder. Its home is the folder's "home", so no settings file
// of the person running the tests is found; environment adds to or (with an empty value) takes
// out of that. A run that outlasts timeoutMs is reported with exit code -1.
TRun RunCtl(const QStringList& arguments, const QString& folder, const std::map<QString, QString>& environment = {},
            int timeoutMs = 30000)
{
    QProcess process;
    process.setProgram(QStringLiteral(R7730CTL_BINARY));
    process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert("HOME", QDir(folder).filePath("home"));
    variables.remove("XDG_DATA_HOME");
    for (const auto& [name, value] : environment)
        value.isEmpty() ? variables.remove(name) : variables.insert(name, value);
    process.setProcessEnvironment(variables);
    process.start();
    process.waitForFinished(timeoutMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace
