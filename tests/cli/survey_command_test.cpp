// r7730ctl survey against the simulated device's scripted signal: one line per reading, the
// summary's numbers, the JSON document and the CSV file; the CSV checked before the survey,
// kept through a kill and put in place at every other end; a read without an answer.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTime>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli/ctl_run.h"
#include "provision/csv_reader.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"

using r7730::testing::ReadWholeFile;
using r7730::testing::SimulatorProcess;
using r7730::testing::WriteWholeFile;

namespace {

class SurveyCommand : public ::testing::Test {
protected:
    SurveyCommand()
    {
        WriteWholeFile(folder.filePath("trace.txt"), "-70 -62 NOINFO -55 -81\n");
        simulator = std::make_unique<SimulatorProcess>(
            std::vector<std::string>{"--quiet", "--signal-file", folder.filePath("trace.txt").toStdString()}, folder.path());
    }

    TRun Survey(const QStringList& arguments)
    {
        return RunCtl(QStringList{"-p", QString::fromStdString(simulator->linkPath()), "survey"} + arguments, folder.path());
    }

    // A survey without an end, its CSV growing in folder.
    void StartEndless(QProcess& survey)
    {
        survey.setProgram(QStringLiteral(R7730CTL_BINARY));
        survey.setArguments({"-p", QString::fromStdString(simulator->linkPath()), "survey", "--interval", "0.5", "--csv", "survey.csv"});
        survey.setWorkingDirectory(folder.path());
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.insert("HOME", folder.filePath("home"));
        survey.setProcessEnvironment(variables);
        survey.start();
        ASSERT_TRUE(survey.waitForStarted(5000));
    }

    // The partial files beside survey.csv.
    QStringList Partials() const
    {
        return QDir(folder.path()).entryList({".survey.csv.partial-*"}, QDir::Files | QDir::Hidden);
    }

    // Waits until a partial file holds readings readings; its text.
    QByteArray WaitForPartialReadings(int readings) const
    {
        for (int tries = 0; tries < 200; ++tries) {
            const QStringList partials = Partials();
            if (partials.size() == 1) {
                const QByteArray text = ReadWholeFile(folder.filePath(partials[0]));
                if (text.count(",poll,") >= readings)
                    return text;
            }
            QThread::msleep(50);
        }
        return {};
    }

    QTemporaryDir folder;
    std::unique_ptr<SimulatorProcess> simulator;
};

} // namespace

TEST_F(SurveyCommand, ACsvPathThatCannotTakeAFileIsRefusedBeforeTheSurvey)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir("folder"));
    ASSERT_EQ(::mkfifo(folder.filePath("fifo").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("fifo", folder.filePath("to-fifo")));
    ASSERT_TRUE(QFile::link("folder", folder.filePath("to-folder")));
    const std::vector<std::pair<QString, QString>> cases = {
        {"folder", "cannot write folder: it is a folder, not a regular file"},
        {"fifo", "cannot write fifo: it is a FIFO, not a regular file"},
        {"to-fifo", "cannot write to-fifo: it is a link to a FIFO, not a regular file"},
        {"to-folder", "cannot write to-folder: it is a link to a folder, not a regular file"},
        {"missing/survey.csv", "cannot write missing/survey.csv: No such file or directory"},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path.toStdString());
        // An hour's survey: refused before its first reading, or the run would not end in time.
        const TRun run = RunCtl({"-p", QString::fromStdString(simulator->linkPath()), "survey", "--duration", "3600", "--csv", path},
                                folder.path(), {}, 10000);
        EXPECT_EQ(run.exitCode, 2) << path.toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("RSSI")) << run.out.toStdString();
    }
    EXPECT_TRUE(Partials().isEmpty());

    // A port that does not open: the survey never began and leaves no partial file.
    const TRun noPort = RunCtl({"-p", folder.filePath("no-port"), "survey", "--csv", "survey.csv"}, folder.path(), {}, 10000);
    EXPECT_EQ(noPort.exitCode, 1) << noPort.err.toStdString();
    EXPECT_TRUE(Partials().isEmpty());
    EXPECT_FALSE(QFile::exists(folder.filePath("survey.csv")));
}

TEST_F(SurveyCommand, AKilledSurveyLeavesEveryReadingAndTheNextSurveyNamesThem)
{
    QProcess survey;
    StartEndless(survey);
    const QByteArray partial = WaitForPartialReadings(2);
    ASSERT_FALSE(partial.isEmpty()) << survey.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(survey.processId()), SIGKILL);
    ASSERT_TRUE(survey.waitForFinished(5000));

    ASSERT_EQ(Partials().size(), 1);
    const QString partialPath = Partials()[0];
    const QByteArray left = ReadWholeFile(folder.filePath(partialPath));
    EXPECT_TRUE(left.startsWith("time,kind,ssid,channel,rssi,quality,marker,asked_by,auth\r\n")) << left.toStdString();
    const int readings = static_cast<int>(left.count(",poll,"));
    EXPECT_GE(readings, 2);
    EXPECT_TRUE(left.endsWith("\r\n")) << "whole lines only";
    EXPECT_FALSE(QFile::exists(folder.filePath("survey.csv")));

    const TRun next = Survey({"--duration", "0.2", "--csv", "survey.csv"});
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_TRUE(next.out.contains(QStringLiteral("an earlier survey to survey.csv was cut short: ./%1 holds its %2 readings")
                                      .arg(partialPath)
                                      .arg(readings)))
        << next.out.toStdString();
    EXPECT_EQ(ReadWholeFile(folder.filePath(partialPath)), left) << "the earlier readings stay where they are";
}

TEST_F(SurveyCommand, CtrlCSigtermAndAClosedTerminalEachPutTheCsvInPlace)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        QProcess survey;
        StartEndless(survey);
        ASSERT_FALSE(WaitForPartialReadings(2).isEmpty()) << survey.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(survey.processId()), signal);
        ASSERT_TRUE(survey.waitForFinished(5000));
        EXPECT_EQ(survey.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(survey.exitCode(), 0) << survey.readAllStandardError().toStdString();
        const QByteArray csv = ReadWholeFile(folder.filePath("survey.csv"));
        EXPECT_TRUE(csv.startsWith("time,kind,ssid,channel,rssi,quality,marker,asked_by,auth\r\n"));
        EXPECT_GE(csv.count(",poll,"), 2);
        EXPECT_TRUE(QString::fromUtf8(survey.readAllStandardOutput()).contains("samples"));
        EXPECT_TRUE(Partials().isEmpty());
        EXPECT_TRUE(QFile::remove(folder.filePath("survey.csv")));
    }
}

TEST(SurveyUnanswered, AReadWithoutAnAnswerEndsAfterTheIntervalAndTheNextGoesOutOnTime)
{
    // Every reply comes 2.5 s after its read: a read waits one interval, then the next goes out.
    QTemporaryDir folder;
    SimulatorProcess simulator({"--quiet", "--delay", "2500"}, folder.path());
    QElapsedTimer clock;
    clock.start();
    const TRun run = RunCtl({"-p", QString::fromStdString(simulator.linkPath()), "survey", "--duration", "3", "--interval", "1"},
                            folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_LT(clock.elapsed(), 6000) << "reads at 0, 1 and 2 s, each waiting a second at most";
    EXPECT_GE(run.out.count("no answer"), 2) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression(R"(\nsamples +\d+ \(\d+ with an RSSI\); [2-3] reads unanswered\n)")))
        << run.out.toStdString();
}

TEST_F(SurveyCommand, FiveSecondsAtOneSecondGiveFiveReadingsTheSummaryAndTheCsv)
{
    const TRun run = Survey({"--duration", "5", "--interval", "1", "--csv", "survey.csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n');
    ASSERT_GE(lines.size(), 10) << run.out.toStdString();
    EXPECT_EQ(lines[0], "TIME          RSSI   QUALITY  SIGNAL                SSID");
    // Each reading: its time, then the values and a bar of its quality.
    const QStringList readings = {
        "-70    60%      ############........  Office-2G", "-62    76%      ###############.....  Office-2G",
        "-      -        ....................  Office-2G", "-55    90%      ##################..  Office-2G",
        "-81    38%      ########............  Office-2G"};
    for (int i = 0; i < readings.size(); ++i) {
        EXPECT_EQ(lines[i + 1].mid(14), readings[i]) << lines[i + 1].toStdString();
        EXPECT_TRUE(QTime::fromString(lines[i + 1].left(12), "HH:mm:ss.zzz").isValid()) << lines[i + 1].toStdString();
    }
    EXPECT_EQ(lines[6], "");
    EXPECT_EQ(lines[7], "samples    5 (4 with an RSSI)");
    EXPECT_EQ(lines[8], "rssi       min -81  avg -67.0  max -55  sd 9.67 dBm (population, N=4)");
    EXPECT_EQ(lines[9], "quality    min 38  avg 66.0  max 90 %");
    EXPECT_TRUE(run.out.contains("channels   no scan taken"));

    const std::vector<r7730::provision::TCsvRecord> records =
        r7730::provision::ReadCsv(QString::fromUtf8(ReadWholeFile(folder.filePath("survey.csv"))));
    ASSERT_EQ(records.size(), 6u);
    QStringList rssi, kinds, asked;
    for (std::size_t i = 1; i < records.size(); ++i) {
        kinds << records[i].cells[1].text;
        rssi << records[i].cells[4].text;
        asked << records[i].cells[7].text;
    }
    EXPECT_EQ(kinds, QStringList({"poll", "poll", "poll", "poll", "poll"}));
    EXPECT_EQ(rssi, QStringList({"-70", "-62", "", "-55", "-81"}));
    EXPECT_EQ(asked, QStringList({"survey", "survey", "survey", "survey", "survey"}));
}

TEST_F(SurveyCommand, JsonHoldsTheReadingsTheSummaryAndTheChannels)
{
    const TRun run = Survey({"--json", "--duration", "1.5", "--interval", "0.5", "--scan-every", "60"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject document = QJsonDocument::fromJson(run.out.toUtf8()).object();
    const QJsonArray samples = document["samples"].toArray();
    ASSERT_EQ(samples.size(), 3);
    EXPECT_EQ(samples[0]["rssi"].toInt(), -70);
    EXPECT_EQ(samples[1]["quality"].toInt(), 76);
    EXPECT_TRUE(samples[2]["rssi"].isNull());
    const QJsonObject summary = document["summary"].toObject();
    EXPECT_EQ(summary["samples"].toInt(), 3);
    const QJsonObject rssi = summary["rssi"].toObject();
    EXPECT_EQ(rssi["n"].toInt(), 2);
    EXPECT_EQ(rssi["min"].toInt(), -70);
    EXPECT_EQ(rssi["max"].toInt(), -62);
    EXPECT_DOUBLE_EQ(rssi["avg"].toDouble(), -66.0);
    EXPECT_DOUBLE_EQ(rssi["sd"].toDouble(), 4.0);
    EXPECT_EQ(summary["scans"].toInt(), 1);
    // The simulator's own list: channels 1, 6, 11, 11 and 36.
    EXPECT_EQ(summary["quietest"].toInt(), 1);
    const QJsonArray channels = summary["channels"].toArray();
    ASSERT_EQ(channels.size(), 14); // 1 to 13, and 36
    EXPECT_EQ(channels[10]["access_points"].toInt(), 2);
    EXPECT_EQ(channels[13]["channel"].toInt(), 36);
    EXPECT_EQ(document["access_points"].toArray().size(), 5);
}

TEST_F(SurveyCommand, WrongOptionsAreRefused)
{
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--interval", "0.2"}, "--interval takes seconds from 0.5 to 3600, not \"0.2\""},
        {{"--duration", "soon"}, "--duration takes seconds from 0.001 to 604800, not \"soon\""},
        {{"--scan-every", "0"}, "--scan-every takes seconds from 1 to 86400, not \"0\""},
    };
    for (const auto& [arguments, message] : cases) {
        const TRun run = Survey(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
    }
}
