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
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
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

// wifi shows the password it was asked for; the frames of the trace never do.
TEST_F(R7730ctl, TheTraceMasksTheAccessPointPassword)
{
    Start();
    const TRun set = Ctl({"-v", "set", "ap", "--ssid", "lab", "--password", "pw-123"});
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    const TRun wifi = Ctl({"-v", "wifi"});
    EXPECT_TRUE(wifi.out.contains("pw-123")) << wifi.out.toStdString();
    for (const char* const expected :
         {"tmpSSIDPW   : [16][****************]\n", "6C.61.62.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.**.FE.]\n",
          "lab****************]\n"})
        EXPECT_TRUE((set.err + wifi.err).contains(expected)) << expected;
    EXPECT_FALSE(set.err.contains("pw-123") || wifi.err.contains("pw-123"));
    EXPECT_FALSE(set.err.contains("70.77.2D.31.32.33") || wifi.err.contains("70.77.2D.31.32.33"));
}

TEST(R7730ctlStartUp, APdfRunWithoutARuntimeFolderInItsEnvironmentSaysNothingOfIt)
{
    QTemporaryDir folder;
    WriteWholeFile(folder.filePath("plan.csv"), "label,ip\nA-01,10.1.0.1\n");
    const TRun run = RunCtl({"batch", "plan.csv", "--check", "--pdf"}, folder.path(), {{"XDG_RUNTIME_DIR", ""}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
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

TEST(R7730ctlDecode, FrameLinesThatHoldNoFrameAreNamedAndLongLinesSkipped)
{
    QTemporaryDir folder;
    WriteWholeFile(folder.filePath("R7730Setup_20210305.log"),
                   "[14:03:27]  Start R7730LX Serial Setup Program...\r\n"
                   "[14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.]\r\n"
                   "[14:03:27]  TX 0x41 : [6][7E.05.41.50.FE.]\r\n"
                   "[14:03:28]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.4G.50.FE.]\r\n"
                   "[14:03:28]  " + QByteArray(70000, 'x') + "\r\n"
                   "[14:03:28]  RX MSG ID:[0x41] LEN:[99999]:[7E.FE.]\r\n"
                   "[14:03:28]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.41\r\n"
                   "[14:03:29]  TX 0x4A : [5][7E.05.4A.50.FE.]\r\n");
    const TRun run = RunCtl({"decode", "R7730Setup_20210305.log"}, folder.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "     1  2021-03-05 14:03:27  TX  0x41     5  status read\n"
                       "     2  2021-03-05 14:03:29  TX  0x4A     5  read signal strength\n");
    EXPECT_EQ(run.err, "R7730Setup_20210305.log line 3: its length says 6 bytes, the line holds 5\n"
                       "R7730Setup_20210305.log line 4: bad hex at byte 3\n"
                       "R7730Setup_20210305.log line 6: an absurd length of 99999 bytes\n"
                       "R7730Setup_20210305.log line 7: the line ends inside its bytes\n"
                       "2 frames (2 TX, 0 RX, 0 with errors), 2 shown; 1 other lines skipped; 1 longer than 64 KiB "
                       "skipped; 4 frame lines unreadable\n");
}

namespace {

struct TStreamedRun {
    int exitCode = -1;
    long maxRssKiB = 0;
    std::string err;
};

// r7730ctl decode - with `feed` writing its standard input, measured as it ran: its own peak
// resident memory, from the wait for it.
TStreamedRun DecodeStream(const QString& folder, const std::function<void(int)>& feed)
{
    std::signal(SIGPIPE, SIG_IGN); // the program may end before the feed does
    int input[2], errors[2];
    if (::pipe(input) != 0 || ::pipe(errors) != 0)
        return {};
    const QByteArray where = QFile::encodeName(folder);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(input[0], STDIN_FILENO);
        ::dup2(errors[1], STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        for (int fd : {input[0], input[1], errors[0], errors[1], null})
            ::close(fd);
        if (::chdir(where.constData()) == 0)
            ::execl(R7730CTL_BINARY, "r7730ctl", "decode", "-", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(input[0]);
    ::close(errors[1]);
    std::thread writer([&] {
        feed(input[1]);
        ::close(input[1]);
    });
    TStreamedRun run;
    char buffer[4096];
    for (ssize_t got; (got = ::read(errors[0], buffer, sizeof buffer)) > 0;)
        run.err.append(buffer, static_cast<std::size_t>(got));
    ::close(errors[0]);
    writer.join();
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.maxRssKiB = usage.ru_maxrss;
    return run;
}

// Writes the text, then `nuls` NUL bytes; false once the reader has gone.
bool Feed(int fd, std::string_view text, long long nuls = 0)
{
    if (!text.empty() && ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return false;
    const std::string block(1 << 20, '\0');
    for (long long left = nuls; left > 0; left -= static_cast<long long>(block.size()))
        if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size()))
            return false;
    return true;
}

constexpr long long kStreamBytes = 200'000'000;
constexpr long kBoundKiB = 150 * 1024; // the program and a few blocks, well below the stream

} // namespace

TEST(R7730ctlDecode, WhatIsNoTextIsRefusedByNameAndNeverHeldWhole)
{
    QTemporaryDir folder;
    WriteWholeFile(folder.filePath("nuls.log"), QByteArray(1 << 20, '\0'));
    const TRun file = RunCtl({"decode", "nuls.log"}, folder.path());
    EXPECT_EQ(file.exitCode, 2);
    EXPECT_EQ(file.err, "r7730ctl: nuls.log holds NUL bytes: it is no text, not a log of the setup program\n");
    const TRun zero = RunCtl({"decode", "/dev/zero"}, folder.path(), {}, 10000);
    EXPECT_EQ(zero.exitCode, 2);
    EXPECT_EQ(zero.err, "r7730ctl: /dev/zero holds NUL bytes: it is no text, not a log of the setup program\n");

    const TStreamedRun nuls = DecodeStream(folder.path(), [](int fd) { Feed(fd, {}, kStreamBytes); });
    EXPECT_EQ(nuls.exitCode, 2);
    EXPECT_EQ(nuls.err, "r7730ctl: standard input holds NUL bytes: it is no text, not a log of the setup program\n");
    EXPECT_LT(nuls.maxRssKiB, kBoundKiB);

    // A log whose middle is 200 MB of NULs on one line: read past, its frames still found.
    const TStreamedRun log = DecodeStream(folder.path(), [](int fd) {
        if (Feed(fd, "[14:03:27]  Start R7730LX Serial Setup Program...\r\n[14:03:27]  ", kStreamBytes))
            Feed(fd, "\r\n[14:03:28]  TX 0x41 : [5][7E.05.41.50.FE.]\r\n");
    });
    EXPECT_EQ(log.exitCode, 0);
    EXPECT_EQ(log.err, "1 frames (1 TX, 0 RX, 0 with errors), 1 shown; 1 other lines skipped; 1 longer than 64 KiB skipped\n");
    EXPECT_LT(log.maxRssKiB, kBoundKiB);
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

TEST_F(R7730ctl, AHangulSsidIsReadBackWhole)
{
    Start();
    const QString ssid = QStringLiteral("제12물류창고 무선AP 시험용-5GHz"); // 31 bytes of CP949
    const TRun set = Ctl({"set", "ap", "--ssid", ssid, "--password", "abcdefgh12345678"});
    EXPECT_EQ(set.exitCode, 0) << set.out.toStdString() << set.err.toStdString();
    EXPECT_TRUE(set.out.endsWith("ssid       제12물류창고 무선AP 시험용-5GHz\npassword   abcdefgh12345678\n"
                                 "verified: the device holds what was sent\n"))
        << set.out.toStdString();
    EXPECT_TRUE(State().contains("ssid = C1.A6.31.32.B9.B0.B7.F9.C3.A2.B0.ED.20.B9.AB.BC.B1.41.50.20.BD.C3.C7.E8.BF.EB.2D.35.47.48.7A.\n"))
        << State().toStdString();

    const TRun wifi = Ctl({"wifi"});
    EXPECT_EQ(wifi.out, "ssid       제12물류창고 무선AP 시험용-5GHz\npassword   abcdefgh12345678\n");
    EXPECT_EQ(Ctl({"backup", "unit.ini"}).exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(ReadWholeFile(folder.filePath("unit.ini")))
                    .endsWith("[ap]\nssid=제12물류창고 무선AP 시험용-5GHz\npassword=abcdefgh12345678\n"));
}

TEST_F(R7730ctl, ControlCharactersNeverReachTheDeviceNorAProfile)
{
    Start();
    const struct {
        const char* option;
        QString text;
        QString refusal;
    } refused[] = {
        {"--ssid", "ap\nx", "--ssid ap\\x0Ax: the SSID holds the control character 0x0A (character 3)"},
        {"--ssid", "\tap", "--ssid \\x09ap: the SSID holds the control character 0x09 (character 1)"},
        {"--ssid", "ap\x1b[1m", "--ssid ap\\x1B[1m: the SSID holds the control character 0x1B (character 3)"},
        {"--password", "pass\rword", "--password pass\\x0Dword: the password holds the control character 0x0D (character 5)"},
        {"--password", "pass\x7f", "--password pass\\x7F: the password holds the control character 0x7F (character 5)"},
    };
    for (const auto& c : refused) {
        const QStringList arguments = QString(c.option) == "--ssid" ? QStringList{"set", "ap", "--ssid", c.text}
                                                                     : QStringList{"set", "ap", "--ssid", "ap", "--password", c.text};
        const TRun run = Ctl(arguments);
        EXPECT_EQ(run.exitCode, 2) << c.refusal.toStdString();
        EXPECT_EQ(run.err, "r7730ctl: " + c.refusal + ", which no SSID or password may carry; nothing was sent\n");
    }
    EXPECT_TRUE(Received().isEmpty()) << "no port is opened for a refused option";

    // A device that holds one (set by another program) is not backed up: restore would refuse the file.
    for (const QByteArray& held : {QByteArray("ssid = 61.0A.78.\n"), QByteArray("ssid = 61.70.\npassword = 70.77.7F.\n")}) {
        Start(held);
        const TRun backup = Ctl({"backup", "unit.ini"});
        EXPECT_EQ(backup.exitCode, 2) << held.toStdString();
        EXPECT_TRUE(backup.err.startsWith("r7730ctl: the device's access point cannot be backed up: the ")) << backup.err.toStdString();
        EXPECT_TRUE(backup.err.endsWith(", which no SSID or password may carry; nothing was written\n")) << backup.err.toStdString();
        EXPECT_FALSE(QFile::exists(folder.filePath("unit.ini")));
    }
}

TEST_F(R7730ctl, AMaskThatIsNoneIsSentOnlyWithForce)
{
    Start();
    const TRun gaps = Ctl({"set", "wan", "--mask", "255.0.255.0"});
    EXPECT_EQ(gaps.exitCode, 2);
    EXPECT_EQ(gaps.err, "r7730ctl: --mask 255.0.255.0: 255.0.255.0 is no subnet mask: its ones are not contiguous (--force "
                        "sends it all the same); nothing was sent\n");
    EXPECT_EQ(Ctl({"set", "wan", "--mask", "0.0.0.0"}).exitCode, 2);
    EXPECT_TRUE(Received().isEmpty());

    const TRun forced = Ctl({"set", "wan", "--mask", "0.0.0.0", "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_TRUE(State().contains("mask = 0.0.0.0\n"));
    // What the device holds is not held to it: another key still changes.
    EXPECT_EQ(Ctl({"set", "wan", "--ip", "192.168.0.11"}).exitCode, 0);
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
