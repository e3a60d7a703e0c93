// The real r7730ctl against the simulated device (and a pseudo-terminal nobody answers on): what
// a technician and a script see, and what the device ends up holding.
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTime>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "cli/ctl_run.h"
#include "support/pseudo_terminal.h"
#include "support/qt_printers.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"

using r7730::testing::ReadWholeFile;
using r7730::testing::SimulatorProcess;
using r7730::testing::TPseudoTerminal;
using r7730::testing::WriteWholeFile;

namespace {

class R7730ctl : public TCtlAgainstSimulator {};

} // namespace

TEST_F(R7730ctl, StatusReadsTheDeviceForAPersonAndForAScript)
{
    Start();
    const TRun text = Ctl({"status"});
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_EQ(text.out, "model      R7730LX\nfirmware   1.03\nmac        00:1A:2B:3C:4D:5E\n\n"
                        "[wan]\nip         192.168.0.10\ngateway    192.168.0.1\nmask       255.255.255.0\n\n"
                        "[tcp]\nmode       server\nlisten     8080\nexpiry     30\ntarget     192.168.0.100:5000\n\n"
                        "[serial]\nbaud       115200\ndata       8\nparity     none\nstop       1\nflow       none\n");

    const TRun json = Ctl({"status", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    const QJsonObject status = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(status["model"], "R7730LX");
    EXPECT_EQ(status["mac"], "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(status["wan"]["ip"], "192.168.0.10");
    EXPECT_EQ(status["tcp"]["listen"], 8080);
    EXPECT_EQ(status["tcp"]["target"], "192.168.0.100:5000");
    EXPECT_EQ(status["serial"]["baud"], 115200);
    EXPECT_EQ(status["serial"]["parity"], "none");

    const QJsonArray scan = QJsonDocument::fromJson(Ctl({"--json", "scan"}).out.toUtf8()).array();
    ASSERT_EQ(scan.size(), 5);
    EXPECT_EQ(scan[1]["ssid"], "우리집_WiFi");
    EXPECT_EQ(scan[1]["rssi"], -65);
    EXPECT_EQ(scan[1]["quality"], 70);

    // -v: the frames as the window logs them, on standard error; -v -v each with its summary.
    EXPECT_TRUE(Ctl({"-v", "wifi"}).err.contains("TX 0x49 : [5][7E.05.49.50.FE.]"));
    EXPECT_FALSE(Ctl({"-v", "status"}).err.contains("status: R7730LX"));
    const QString twice = Ctl({"-vv", "status"}).err;
    EXPECT_TRUE(twice.contains("TX 0x41 : [5][7E.05.41.50.FE.]\n            status read\n")) << twice.toStdString();
    EXPECT_TRUE(twice.contains("]\n            status: R7730LX 1.03, 00:1A:2B:3C:4D:5E, 192.168.0.10/24 gw 192.168.0.1, "
                               "TCP server :8080, 115200 8N1 none\n"));
}

TEST(R7730ctlDecode, ReadsOnlyTheProgramsLogsAndCountsWhatItSkips)
{
    QTemporaryDir folder;
    WriteWholeFile(folder.filePath("R7730Setup_20210305.log"),
                   "[14:03:27]  Start R7730LX Serial Setup Program...\r\n"
                   "[14:03:27]  TX 0x4A : [5][7E.05.4A.50.FE.]\r\n"
                   "[14:03:27]  [EOT]\r\n"
                   "[14:03:27]  RX MSG ID:[0x4A] LEN:[43]:[7E.2B.4A.50.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20.20."
                   "20.20.20.20.20.4F.66.66.69.63.65.20.20.2D.36.35.20.FE.]\r\n"
                   "[14:03:28]  RX MSG ID:[0x41] LEN:[42]:[7E.2A.41.50.02.01.03.00.1A.2B.3C.4D.5E.C0.A8.00.0A.C0.A8.00.01.FF.FF.FF.00.1F."
                   "90.0A.37.33.30.30.31.53.00.50.C0.A8.00.64.00.FE.]\r\n"
                   "[14:03:28]  RX MSG ID:[0x41] LEN:[43]:[7E.2B");
    WriteWholeFile(folder.filePath("notes.txt"), "Kavlor R7730LX notes\nTX 0x41 : [5][7E.05.41.50.FE.]\n");

    const TRun all = RunCtl({"decode", "R7730Setup_20210305.log"}, folder.path());
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out, "     1  2021-03-05 14:03:27  TX  0x4A     5  read signal strength\n"
                       "     2  2021-03-05 14:03:27  RX  0x4A    43  signal: \"Office\" -65 dBm, quality 70%  (answers 1)\n"
                       "     3  2021-03-05 14:03:28  RX  0x41    42  status: wrong length, 42 bytes (43 expected)\n");
    EXPECT_EQ(all.err, "3 frames (1 TX, 2 RX, 1 with errors), 3 shown; 3 other lines skipped\n");

    const TRun errors = RunCtl({"decode", "--errors", "--json", "R7730Setup_20210305.log"}, folder.path());
    EXPECT_EQ(errors.out.count('\n'), 1);
    EXPECT_EQ(QJsonDocument::fromJson(errors.out.toUtf8())["state"], "wrong length");
    EXPECT_EQ(RunCtl({"decode", "--filter", "Office", "R7730Setup_20210305.log"}, folder.path()).out.count('\n'), 1);

    const TRun other = RunCtl({"decode", "R7730Setup_20210305.log", "notes.txt"}, folder.path());
    EXPECT_EQ(other.exitCode, 2);
    EXPECT_TRUE(other.err.contains("notes.txt is not a log of the setup program")) << other.err.toStdString();
    EXPECT_EQ(RunCtl({"decode", "--filter", "(", "R7730Setup_20210305.log"}, folder.path()).exitCode, 2);
}

TEST_F(R7730ctl, SetChangesOnlyTheOptionGivenAndReadsItBack)
{
    Start();
    const TRun run = Ctl({"set", "wan", "--ip", "10.0.0.5"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("ip         10.0.0.5\ngateway    192.168.0.1\nmask       255.255.255.0\n"
                                 "verified: the device holds what was sent\n"))
        << run.out.toStdString();
    EXPECT_EQ(Received().mid(0, 2), (QStringList{kStatusRead, "RX 0x43 [17][7E.11.43.50.0A.00.00.05.C0.A8.00.01.FF.FF.FF.00.FE.]"}));
    EXPECT_TRUE(State().contains("ip = 10.0.0.5\ngateway = 192.168.0.1\nmask = 255.255.255.0\n")) << State().toStdString();
}

TEST_F(R7730ctl, BackupFactoryResetRestoreLeavesTheDeviceAsItWas)
{
    // Every setting away from its factory value, written as the simulator writes its state.
    const QByteArray before = "# Simulated device state: one setting a line; texts as hex bytes (CP949).\n"
                              "model = 2\nfirmware = 1.3\nmac = 00:1A:2B:3C:4D:5E\nip = 10.1.2.3\ngateway = 10.1.2.1\n"
                              "mask = 255.255.0.0\nlisten_port = 502\nexpiry = 60\nserial = 3,3,1,2,0\nmode = C\n"
                              "target_port = 9000\ntarget_ip = 10.1.2.200\nssid = 4C.61.62.2D.31.\n"
                              "password = 70.61.73.73.77.6F.72.64.\nflash_save_interval = 0\nflash_save_delay = 0\n";
    Start(before);
    EXPECT_EQ(Ctl({"backup", "unit.ini"}).exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(ReadWholeFile(folder.filePath("unit.ini")))
                    .contains("[tcp]\nmode=client\nlisten=502\nexpiry=60\ntarget=10.1.2.200:9000\n\n[serial]\nbaud=9600\n"
                              "data=8\nparity=even\nstop=2\nflow=rts/cts\n\n[ap]\nssid=Lab-1\npassword=password\n"));

    EXPECT_EQ(Ctl({"factory-reset"}).exitCode, 2) << "a factory reset needs --yes";
    const TRun reset = Ctl({"factory-reset", "--yes"});
    EXPECT_EQ(reset.exitCode, 0) << reset.err.toStdString();
    EXPECT_NE(State(), QString::fromUtf8(before));

    const TRun restore = Ctl({"restore", "unit.ini"});
    EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
    EXPECT_TRUE(restore.out.endsWith("restored unit.ini: the device holds what the file says\n")) << restore.out.toStdString();
    EXPECT_EQ(State(), QString::fromUtf8(before));
    // The saves in a safe order: the serial line last.
    QStringList saves;
    for (const QString& frame : Received())
        if (QStringList{"RX 0x42", "RX 0x43", "RX 0x44", "RX 0x45"}.contains(frame.left(7)))
            saves << frame.left(7);
    EXPECT_EQ(saves, (QStringList{"RX 0x43", "RX 0x44", "RX 0x42", "RX 0x45"}));
}

TEST_F(R7730ctl, ARefusedValueSendsNothing)
{
    Start();
    const TRun given = Ctl({"set", "wan", "--ip", "10.0.0.300"});
    EXPECT_EQ(given.exitCode, 2);
    EXPECT_EQ(given.err, "r7730ctl: --ip 10.0.0.300: each address field takes a whole number from 0 to 255; nothing was sent\n");
    const TRun unreadable = Ctl({"set", "wan", "--mask", "255.255.254.0"});
    EXPECT_EQ(unreadable.exitCode, 2);
    EXPECT_TRUE(Received().isEmpty()) << "no port is opened for a refused option";

    // Given --no-verify, the value is stored and the output says it went unverified.
    const TRun unverified = Ctl({"set", "wan", "--mask", "255.255.254.0", "--no-verify"});
    EXPECT_EQ(unverified.exitCode, 0) << unverified.err.toStdString();
    EXPECT_TRUE(unverified.out.contains("mask       255.255.253.0  (sent 255.255.254.0, not verified: a reply cannot carry "
                                        "the byte 254)\nverified, except mask (not verified)\n"))
        << unverified.out.toStdString();
    EXPECT_TRUE(State().contains("mask = 255.255.254.0\n"));
}

TEST_F(R7730ctl, AValueTheDeviceHoldsThatTheChecksRefuseIsNamed)
{
    Start("listen_port = 0\n");
    const TRun run = Ctl({"set", "tcp", "--expiry", "10"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "r7730ctl: the device holds listen 0, which the checks refuse (the listen port takes a whole number "
                       "from 1 to 65535); nothing was sent: give --listen to replace it\n");
    EXPECT_EQ(Received(), QStringList{kStatusRead});
}

TEST_F(R7730ctl, AReadBackThatDiffersExits3)
{
    Start({}, {"--store-wrong", "mask"});
    const TRun run = Ctl({"set", "wan", "--mask", "255.255.0.0"});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("mask       255.255.0.1  (sent 255.255.0.0)\nread-back differs: mask\n")) << run.out.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(Ctl({"--json", "set", "wan", "--mask", "255.255.0.0"}).out.toUtf8()).object();
    EXPECT_EQ(json["differs"], QJsonArray{"mask"});
    EXPECT_EQ(json["verified"], false);

    // The unit's commissioning report says the same, field by field.
    const TRun reported = Ctl({"--json", "set", "wan", "--mask", "255.255.0.0", "--report", "reports"});
    const QJsonArray paths = QJsonDocument::fromJson(reported.out.toUtf8()).object()["reports"].toArray();
    ASSERT_EQ(paths.size(), 2) << reported.out.toStdString();
    EXPECT_TRUE(paths[1].toString().endsWith(".html"));
    const QJsonObject report = QJsonDocument::fromJson(ReadWholeFile(folder.filePath(paths[0].toString()))).object();
    EXPECT_EQ(report["result"], "FAIL");
    EXPECT_EQ(report["differs"], QJsonArray{"mask"});
    EXPECT_EQ(report["mac"], "00:1A:2B:3C:4D:5E");
}

TEST_F(R7730ctl, TheDevicesOwnStatusReadIsNotTakenForTheReadBack)
{
    // An unregistered reply makes the link send a status read of its own, answered after the
    // save was sent but with the settings from before it.
    Start({}, {"--unknown-id", "5A"});
    const TRun run = Ctl({"-v", "set", "wan", "--ip", "10.0.0.7"});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Message ID:[0x5A] is Unregistered."));
}

TEST_F(R7730ctl, ADeviceSlowerThanThePollIntervalIsReadBackOnlyAfterItsRestart)
{
    // It answers 0.6 s after each read, and goes on answering the reads it took before it
    // restarted with the settings from before the save.
    Start({}, {"--delay", "600", "--reboot-ms", "1500"});
    const TRun run = RunCtl({"-p", QString::fromStdString(simulator->linkPath()), "--timeout", "1000", "set", "wan",
                             "--ip", "10.0.0.7"},
                            folder.path());
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.endsWith("ip         10.0.0.7\ngateway    192.168.0.1\nmask       255.255.255.0\n"
                                 "verified: the device holds what was sent\n"))
        << run.out.toStdString();
    EXPECT_TRUE(State().contains("ip = 10.0.0.7\n")) << State().toStdString();
}

TEST_F(R7730ctl, AChangeThatCannotGoOnStillWritesTheFailReport)
{
    ASSERT_TRUE(WriteWholeFile(folder.filePath("unit.ini"), "[wan]\nip=10.0.0.9\n"));
    ASSERT_TRUE(WriteWholeFile(folder.filePath("a-file"), ""));
    const std::vector<std::string> noReturn = {"--units", "1", "--no-return", "1"};
    const std::vector<std::string> hangUpAfterSave = {"--hangup-after", "2", "--replug-ms", "60000"};
    struct TCase {
        const char* name;
        std::vector<std::string> simulator;
        QStringList command;
        QString reportDir;
        QString error;      // %1: the port
        bool reportWritten; // false: the error names why
    };
    const QString lost = "the device did not answer a status read within 1.5 s after the wan save";
    const std::vector<TCase> cases = {
        {"set: the unit does not come back", noReturn, {"set", "wan", "--ip", "10.0.0.9"}, "reports", lost, true},
        {"restore: the unit does not come back", noReturn, {"restore", "unit.ini"}, "reports", lost, true},
        {"set: the port goes away after the save", hangUpAfterSave, {"set", "wan", "--ip", "10.0.0.9"}, "reports",
         "the port %1 hung up: the device or its adapter went away", true},
        {"the report folder is a file", noReturn, {"set", "wan", "--ip", "10.0.0.9"}, "a-file",
         lost + "; the report was not written: cannot write the report into a-file: it is a file, not a folder", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        simulator.reset();
        simulator = std::make_unique<SimulatorProcess>(c.simulator);
        const QString port = QString::fromStdString(simulator->linkPath());
        const TRun run = RunCtl(QStringList{"-p", port, "--timeout", "150"} + c.command + QStringList{"--report", c.reportDir},
                                folder.path());
        EXPECT_EQ(run.exitCode, 1);
        const QString error = c.error.contains("%1") ? c.error.arg(port) : c.error;
        EXPECT_EQ(run.err, "r7730ctl: " + error + "\n");
        const qsizetype at = run.out.indexOf("report: ");
        ASSERT_EQ(at >= 0, c.reportWritten) << run.out.toStdString();
        if (!c.reportWritten)
            continue;
        const QString json = run.out.mid(at + 8).section(", ", 0, 0);
        const QJsonObject report = QJsonDocument::fromJson(ReadWholeFile(folder.filePath(json))).object();
        EXPECT_EQ(report["result"], "FAIL");
        EXPECT_EQ(report["error"], error);
        const QJsonObject ip = report["fields"].toArray().first().toObject();
        EXPECT_EQ(ip["sent"], "10.0.0.9");
        EXPECT_EQ(ip["read_back"], "");
    }
}

TEST_F(R7730ctl, TheStatusIsReadOnceAfterAReboot)
{
    ASSERT_TRUE(WriteWholeFile(folder.filePath("plan.csv"), "label,ip\nU-1,10.9.0.1\n"));
    const std::vector<QStringList> commands = {{"set", "wan", "--ip", "10.9.0.1"}, {"batch", "plan.csv"}};
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.first().toStdString());
        simulator.reset();
        // The unit leaves soon after its restart, so the line ends after its one unit.
        simulator = std::make_unique<SimulatorProcess>(
            std::vector<std::string>{"--units", "1", "--reboot-ms", "600", "--take-away-ms", "300"});
        const TRun run = RunCtl(QStringList{"-p", QString::fromStdString(simulator->linkPath()), "--timeout", "1000"} + command,
                                folder.path());
        EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
        // The status replies once the restart has finished: the one the unit came back with, and
        // nothing more until the line looks whether the unit is still there, a poll interval later.
        const QStringList lines = QString::fromStdString(simulator->log()).split('\n');
        const qsizetype restarted = lines.indexOf(QRegularExpression(R"(.*note: reboot finished$)"));
        ASSERT_GE(restarted, 0) << simulator->log();
        QList<QTime> replies;
        for (const QString& line : lines.mid(restarted))
            if (line.contains("] TX 0x41 "))
                replies << QTime::fromString(line.mid(1, 12), "HH:mm:ss.zzz");
        ASSERT_FALSE(replies.isEmpty()) << simulator->log();
        const auto soonAfterTheFirst = [&](const QTime& reply) { return replies.first().msecsTo(reply) < 60; };
        EXPECT_EQ(std::count_if(replies.begin(), replies.end(), soonAfterTheFirst), 1) << simulator->log();
    }
}

TEST_F(R7730ctl, FailuresOfThePortAndTheDeviceExit1)
{
    // Nobody answers on this pseudo-terminal: one status read, then exit 1 after the timeout.
    TPseudoTerminal silent;
    const TRun run = RunCtl({"-p", silent.SlavePath(), "--timeout", "300", "status"}, folder.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith("r7730ctl: no answer to the status read within 300 ms on " + silent.SlavePath()))
        << run.err.toStdString();
    EXPECT_EQ(silent.ReadAvailable(), QByteArray::fromHex("7E054150FE"));

    const TRun missing = RunCtl({"-p", folder.filePath("nothing"), "status"}, folder.path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(": No such file or directory; no such port")) << missing.err.toStdString();

    // The device goes away after answering the status read: the save finds the port hung up.
    Start({}, {"--hangup-after", "1", "--replug-ms", "60000"});
    const TRun lost = Ctl({"set", "wan", "--ip", "10.0.0.9"});
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_TRUE(lost.err.contains("hung up")) << lost.err.toStdString();
}

TEST_F(R7730ctl, ThePortComesFromTheSettingsFileWhenNoneIsGiven)
{
    Start();
    const TRun unnamed = RunCtl({"status"}, folder.path());
    EXPECT_EQ(unnamed.exitCode, 2);
    EXPECT_TRUE(unnamed.err.startsWith("r7730ctl: no port named: give one with -p PORT")) << unnamed.err.toStdString();

    ASSERT_TRUE(QDir(folder.path()).mkpath("cfg"));
    QFile settings(folder.filePath("cfg/SETUP.INI"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[EnvBoard]\r\nComPort=dev/R7730LX\r\nBaudRate=115200\r\n");
    settings.close();
    const TRun named = RunCtl({"--json", "status"}, folder.path());
    EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
    // A relative link of the working folder, named as the settings file names it.
    EXPECT_EQ(QJsonDocument::fromJson(named.out.toUtf8())["port"].toString(), "dev/R7730LX");
}

TEST_F(R7730ctl, ASerialSaveTellsWhichLineTheDeviceAnswersOn)
{
    // This device is set up over its own serial line: it understands the port only at its rate.
    Start({}, {"--line-follows-serial"});
    auto ctl = [this](const QStringList& arguments) {
        return RunCtl(QStringList{"-p", QString::fromStdString(simulator->linkPath()), "--timeout", "150"} + arguments,
                      folder.path());
    };
    const TRun same = ctl({"set", "serial", "--data", "7"});
    EXPECT_EQ(same.exitCode, 0) << same.err.toStdString();
    EXPECT_TRUE(same.out.contains("\nline: the device answered on the port's line 115200 8N1\n")) << same.out.toStdString();

    const TRun moved = ctl({"set", "serial", "--baud", "9600"});
    EXPECT_EQ(moved.exitCode, 0) << moved.err.toStdString();
    EXPECT_TRUE(moved.out.contains("baud       9600\ndata       7\n")) << moved.out.toStdString();
    EXPECT_TRUE(moved.out.contains("\nline: no answer on the port's line 115200 8N1 within 1.5 s; the device answered on "
                                   "its new line 9600 7N1: the setup link itself moved."))
        << moved.out.toStdString();
    EXPECT_TRUE(State().contains("serial = 3,2,0,0,1\n")) << State().toStdString();

    const TRun lost = ctl({"status"});
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_TRUE(lost.err.contains("(line 115200 8N1)")) << lost.err.toStdString();
}

TEST_F(R7730ctl, BackupReplacesOnlyARegularFileAndTakesDashForStandardOutput)
{
    Start();
    QDir here(folder.path());
    ASSERT_TRUE(here.mkpath("folder") && here.mkpath("shared"));
    ASSERT_EQ(::mkfifo(folder.filePath("fifo").toLocal8Bit().constData(), 0600), 0);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = folder.filePath("socket").toLocal8Bit();
    ASSERT_LT(static_cast<std::size_t>(socketPath.size()), sizeof(address.sun_path));
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(listener);
    ASSERT_TRUE(QFile::link(folder.filePath("folder"), folder.filePath("to-folder")));

    const QString advice = ", not a regular file: name a regular file for the profile, or - for standard output\n";
    const std::vector<std::pair<QString, QString>> refused = {
        {"fifo", "a FIFO"}, {"socket", "a socket"}, {"folder", "a folder"}, {"to-folder", "a link to a folder"}};
    for (const auto& [name, kind] : refused) {
        const TRun run = Ctl({"backup", name});
        EXPECT_EQ(run.exitCode, 2) << name.toStdString();
        EXPECT_EQ(run.err, "r7730ctl: " + name + " is " + kind + advice);
    }
    struct stat fifo {};
    EXPECT_TRUE(::lstat(folder.filePath("fifo").toLocal8Bit().constData(), &fifo) == 0 && S_ISFIFO(fifo.st_mode));
    EXPECT_TRUE(Received().isEmpty()) << "nothing is read from the device before the file is known to be writable";

    // A planted FILE.part is never followed; a FILE linked to a regular file is replaced there.
    ASSERT_TRUE(WriteWholeFile(folder.filePath("victim"), "keep me\n"));
    ASSERT_TRUE(WriteWholeFile(folder.filePath("shared/unit.ini"), "old\n"));
    ASSERT_TRUE(QFile::link(folder.filePath("victim"), folder.filePath("unit.ini.part")));
    ASSERT_TRUE(QFile::link(folder.filePath("shared/unit.ini"), folder.filePath("unit.ini")));
    const TRun linked = Ctl({"backup", "unit.ini"});
    EXPECT_EQ(linked.exitCode, 0) << linked.err.toStdString();
    EXPECT_EQ(ReadWholeFile(folder.filePath("victim")), "keep me\n");
    EXPECT_TRUE(QFileInfo(folder.filePath("unit.ini")).isSymLink());
    EXPECT_TRUE(ReadWholeFile(folder.filePath("shared/unit.ini")).contains("\n[wan]\nip=192.168.0.10\n"));
    EXPECT_EQ(QDir(folder.filePath("shared")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"unit.ini"});

    const TRun dash = Ctl({"backup", "-"});
    EXPECT_EQ(dash.exitCode, 0) << dash.err.toStdString();
    EXPECT_TRUE(dash.out.startsWith("; r7730ctl backup of a device's settings\n; device: R7730LX, firmware 1.03\n"));
    EXPECT_TRUE(dash.out.endsWith("\n[serial]\nbaud=115200\ndata=8\nparity=none\nstop=1\nflow=none\n")) << dash.out.toStdString();
    EXPECT_FALSE(QFile::exists(folder.filePath("-")));
}

TEST_F(R7730ctl, WithoutAWorkingFolderSettingsFileTheLaunchersIsRead)
{
    Start();
    QDir here(folder.path());
    // The launcher's working folders under HOME and under XDG_DATA_HOME, each naming the device
    // through a link of its own folder.
    for (const QString work : {"home/.local/share/r7730-setup", "data/r7730-setup"}) {
        ASSERT_TRUE(here.mkpath(work + "/cfg") && here.mkpath("elsewhere"));
        ASSERT_TRUE(WriteWholeFile(here.filePath(work + "/cfg/SETUP.INI"), "[EnvBoard]\r\nComPort=dev/R7730LX\r\n"));
        ASSERT_TRUE(here.mkpath(work + "/dev"));
        ASSERT_TRUE(QFile::link(QString::fromStdString(simulator->linkPath()), here.filePath(work + "/dev/R7730LX")));
    }
    const QString note = "Settings file: %1/cfg/SETUP.INI (there is no ./cfg/SETUP.INI here: the launcher's working folder's)";
    const std::vector<std::pair<std::map<QString, QString>, QString>> cases = {
        {{}, here.filePath("home/.local/share/r7730-setup")},
        {{{"XDG_DATA_HOME", here.filePath("data")}}, here.filePath("data/r7730-setup")},
        {{{"XDG_DATA_HOME", "data"}}, here.filePath("home/.local/share/r7730-setup")}, // not absolute: ignored
    };
    for (auto [environment, work] : cases) {
        environment["HOME"] = here.filePath("home");
        const TRun run = RunCtl({"-v", "--json", "status"}, here.filePath("elsewhere"), environment);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(note.arg(work))) << run.err.toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(run.out.toUtf8())["port"].toString(), work + "/dev/R7730LX");
    }
    // The working folder's own file comes first.
    ASSERT_TRUE(here.mkpath("elsewhere/cfg"));
    ASSERT_TRUE(WriteWholeFile(here.filePath("elsewhere/cfg/SETUP.INI"), "[EnvBoard]\r\nComPort=" + here.filePath("absent").toUtf8()));
    const TRun own = RunCtl({"-v", "status"}, here.filePath("elsewhere"));
    EXPECT_TRUE(own.err.contains("Settings file: ./cfg/SETUP.INI\n")) << own.err.toStdString();
    EXPECT_TRUE(own.err.contains("cannot open the port " + here.filePath("absent") + ": No such file")) << own.err.toStdString();
}
