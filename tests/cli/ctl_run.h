#pragma once
// The real r7730ctl run to its end for a test, in a folder of the test's own, and a fixture that
// runs it against a simulator keeping its state in that folder.
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include "support/simulator_process.h"
#include "support/temp_folder.h"

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

class TCtlAgainstSimulator : public ::testing::Test {
protected:
    // A simulator keeping its state in the test's folder, started with that state and options.
    void Start(const QByteArray& state = {}, std::vector<std::string> options = {})
    {
        if (!state.isEmpty()) {
            ASSERT_TRUE(r7730::testing::WriteWholeFile(StatePath(), state));
        }
        options.insert(options.end(), {"--state-file", StatePath().toStdString()});
        simulator = std::make_unique<r7730::testing::SimulatorProcess>(options, folder.path());
    }
    TRun Ctl(const QStringList& arguments)
    {
        return RunCtl(QStringList{"-p", QString::fromStdString(simulator->linkPath()), "--timeout", "400"} + arguments,
                      folder.path());
    }
    QString StatePath() const { return folder.filePath("state.txt"); }
    QString State() const { return QString::fromUtf8(r7730::testing::ReadWholeFile(StatePath())); }
    // The frames the simulator received ("RX 0x43 [17][...]"), in order.
    QStringList Received() const
    {
        QStringList frames;
        for (const QString& line : QString::fromStdString(simulator->log()).split('\n'))
            if (const qsizetype at = line.indexOf("RX 0x"); at >= 0)
                frames << line.mid(at);
        return frames;
    }

    QTemporaryDir folder;
    std::unique_ptr<r7730::testing::SimulatorProcess> simulator;
};

const char* const kStatusRead = "RX 0x41 [5][7E.05.41.50.FE.]";

} // namespace
