// r7730ctl firmware against the simulated device over loopback: what is refused before the
// download frame (and what reached the device then), a whole update with the version read back,
// a download cut off, a request for another name, and a version other than expected.
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "cli/ctl_run.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"

using r7730::testing::ReadWholeFile;
using r7730::testing::SimulatorProcess;
using r7730::testing::WriteWholeFile;

namespace {

// The device on a loopback WAN network, so this PC's 127.0.0.1 lies in it.
const QByteArray kLoopbackDevice = "model = 2\nfirmware = 1.3\nmac = 00:1A:2B:3C:4D:5E\nip = 127.0.0.2\ngateway = 127.0.0.1\n"
                                   "mask = 255.0.0.0\n";
constexpr int kImageBytes = 4 * 1024 * 1024;

QByteArray Image(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 509) & 0xFF);
    return bytes;
}

class Firmware : public TCtlAgainstSimulator {
protected:
    TRun Ctl(const QStringList& arguments) { return TCtlAgainstSimulator::Ctl(QStringList{"firmware"} + arguments); }
    QString File(const QString& name, const QByteArray& content)
    {
        EXPECT_TRUE(WriteWholeFile(folder.filePath(name), content));
        return name;
    }
};

} // namespace

TEST_F(Firmware, RefusesBeforeTheDownloadFrame)
{
    Start(kLoopbackDevice);
    struct TCase {
        QStringList arguments;
        const char* refusal;
        bool statusRead; // the one frame a refusal may come after
    };
    const TCase cases[] = {
        {{"missing.bin"}, "missing.bin: no such file; nothing was opened or sent", false},
        {{File("empty.bin", {})}, "empty.bin is empty; nothing was opened or sent", false},
        {{File("big.bin", Image(2000)), "--max-size", "1000"}, "big.bin has 2000 bytes, more than the 1000 allowed", false},
        {{File("saved.bin", "<!DOCTYPE html>\n<html><body>404</body></html>\n")},
         "saved.bin is not a firmware image: it looks like an HTML page: it begins with \"<!DOCTYPE html>\"", false},
        {{File("R7730LX_firmware_v1.04_release.bin", Image(100))},
         "\"/R7730LX_firmware_v1.04_release.bin\" takes 35 bytes in the device's code page (CP949), more than the 32", false},
        {{File("R7730LX_v1.04_펌웨어_최종본_수정.bin", Image(100))}, "and cut there it would end in half a character", false},
        {{File("fw.bin", Image(100)), "--serve", "127.0.0.1:80"},
         "port 80 (--serve) is a privileged port, which only the administrator may open", false},
        {{"fw.bin", "--expect-version", "1.x"}, "--expect-version takes MAJOR.MINOR (1.05), not \"1.x\"", false},
    };
    for (const TCase& c : cases) {
        const TRun run = Ctl(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.refusal))) << run.err.toStdString();
        EXPECT_EQ(Received(), QStringList()) << c.arguments.join(' ').toStdString();
    }
}

TEST_F(Firmware, RefusesWhenNoAddressOfThisPcIsInTheDevicesNetwork)
{
    // A documentation network no PC of a test runner is on.
    Start("ip = 198.51.100.10\ngateway = 198.51.100.1\nmask = 255.255.255.0\n");
    const TRun run = Ctl({File("fw.bin", Image(1000))});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("no address of this PC can be reached from the device's network 198.51.100.0/24 (the device "
                                 "is 198.51.100.10): this PC's networks are 127.0.0.0/8 (lo, 127.0.0.1)"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.endsWith("only the status read was sent, no download frame\n"));
    EXPECT_EQ(Received(), QStringList{kStatusRead});
}

TEST_F(Firmware, UpdatesServingTheFileWholeAndReadsTheNewVersionBack)
{
    Start(kLoopbackDevice);
    const TRun run = Ctl({File("R7730LX_v1.04.bin", Image(kImageBytes)), "--expect-version", "1.4", "--report", "reports"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("device:   R7730LX 00:1A:2B:3C:4D:5E, firmware 1.03, WAN 127.0.0.2 mask 255.0.0.0\n"));
    EXPECT_TRUE(run.out.contains("server:   http://127.0.0.1:")) << run.out.toStdString();
    EXPECT_TRUE(QRegularExpression("127\\.0\\.0\\.1:\\d+ GET /R7730LX_v1\\.04\\.bin: 4194304 of 4194304 bytes, [0-9.]+ [KM]iB/s, complete\n")
                    .match(run.out)
                    .hasMatch())
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("progress: 100% (4.0 MiB of 4.0 MiB)\n"));
    EXPECT_TRUE(run.out.contains("firmware: 1.03 -> 1.04 (the device answered again after"));
    EXPECT_TRUE(QString::fromUtf8(ReadWholeFile(folder.filePath("state.txt"))).contains("firmware = 1.4\n"));

    // The download frame: the server 127.0.0.1, the port, "/R7730LX_v1.04.bin" with blanks in front.
    const QStringList frames = Received();
    ASSERT_GE(frames.size(), 2);
    EXPECT_TRUE(QRegularExpression("^RX 0x55 \\[43\\]\\[7E\\.2B\\.55\\.50\\.7F\\.00\\.00\\.01\\.[0-9A-F]{2}\\.[0-9A-F]{2}\\.(20\\.){14}"
                                   "2F\\.52\\.37\\.37\\.33\\.30\\.4C\\.58\\.5F\\.76\\.31\\.2E\\.30\\.34\\.2E\\.62\\.69\\.6E\\.FE\\.\\]$")
                    .match(frames[1])
                    .hasMatch())
        << frames[1].toStdString();

    const QStringList reports = QDir(folder.filePath("reports")).entryList({"*.json"});
    ASSERT_EQ(reports.size(), 1);
    const QJsonObject report = QJsonDocument::fromJson(ReadWholeFile(folder.filePath("reports/" + reports[0]))).object();
    EXPECT_EQ(report["result"], "PASS");
    EXPECT_EQ(report["firmware_before"], "1.03");
    EXPECT_EQ(report["firmware_after"], "1.04");
    EXPECT_EQ(report["firmware"]["file"], "R7730LX_v1.04.bin");
    EXPECT_EQ(report["firmware"]["size"], kImageBytes);
    EXPECT_EQ(report["firmware"]["bytes_served"], kImageBytes);
}

TEST_F(Firmware, TellsADownloadCutOffAtItsByteCount)
{
    Start(kLoopbackDevice, {"--firmware-fetch", "halfway"});
    const TRun run = Ctl({File("fw.bin", Image(kImageBytes)), "--wait", "2"});
    EXPECT_EQ(run.exitCode, 1);
    const QRegularExpressionMatch aborted = QRegularExpression("GET /fw\\.bin: (\\d+) of 4194304 bytes, .*, aborted at (\\d+) bytes\n").match(run.out);
    ASSERT_TRUE(aborted.hasMatch()) << run.out.toStdString();
    EXPECT_EQ(aborted.captured(1), aborted.captured(2));
    EXPECT_GE(aborted.captured(1).toInt(), kImageBytes / 2); // the device read half, the server's buffer holds a little more
    EXPECT_LT(aborted.captured(1).toInt(), kImageBytes);
    EXPECT_TRUE(run.err.contains("the firmware was not downloaded whole within 2 s: " + aborted.captured(1) +
                                 " of 4194304 bytes went out in 1 request, the last aborted at " + aborted.captured(1) + " bytes"))
        << run.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(ReadWholeFile(folder.filePath("state.txt"))).contains("firmware = 1.3\n"));
}

TEST_F(Firmware, AnswersAnotherNameWith404AndServesNothing)
{
    Start(kLoopbackDevice, {"--firmware-fetch", "wrong-name"});
    const TRun run = Ctl({File("fw.bin", Image(1000)), "--wait", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.contains(" GET /not-fw.bin: 404 for /not-fw.bin\n")) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("0 of 1000 bytes went out in 1 request, the last answered 404 for /not-fw.bin"));
}

TEST_F(Firmware, ExitsThreeForAnotherVersionThanExpected)
{
    Start(kLoopbackDevice, {"--new-version", "1.10"});
    const TRun run = Ctl({File("fw.bin", Image(1000)), "--expect-version", "1.4"});
    EXPECT_EQ(run.exitCode, 3) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("firmware: 1.03 -> 1.10 ("));
    EXPECT_TRUE(run.out.contains("expected: 1.4, but the device runs 1.10\n"));
}
