// r7730ctl firmware against the simulated device over loopback: what is refused before the
// download frame (and what reached the device then), a whole update with the version read back,
// another client fetching the file, a download cut off, a request for another name, and a
// version other than expected or unchanged.
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
    // The request came from the device's own WAN address.
    EXPECT_TRUE(QRegularExpression("\n127\\.0\\.0\\.2:\\d+ GET /R7730LX_v1\\.04\\.bin: 4194304 of 4194304 bytes, [0-9.]+ [KM]iB/s, complete\n")
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

TEST_F(Firmware, EndsAtOnceWhenTheDownloadStopsAndSaysAboutHowFarItCame)
{
    Start(kLoopbackDevice, {"--firmware-fetch", "halfway"});
    QElapsedTimer clock;
    clock.start();
    const TRun run = Ctl({File("fw.bin", Image(kImageBytes)), "--wait", "60"});
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_EQ(run.exitCode, 1);
    const QRegularExpressionMatch aborted = QRegularExpression("GET /fw\\.bin: about (\\d+) of 4194304 bytes, .*, aborted\n").match(run.out);
    ASSERT_TRUE(aborted.hasMatch()) << run.out.toStdString();
    // The device read half; what its receive buffer held counts, what this PC still held does not.
    EXPECT_GE(aborted.captured(1).toInt(), kImageBytes / 2);
    EXPECT_LT(aborted.captured(1).toInt(), kImageBytes / 2 + 512 * 1024);
    EXPECT_TRUE(run.err.contains("the download stopped: about " + aborted.captured(1) + " of 4194304 bytes reached the device ("))
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

TEST_F(Firmware, ExitsThreeForAnotherVersionThanExpectedOrAnUnchangedOne)
{
    struct TCase {
        const char* newVersion;
        QStringList arguments;
        int exitCode;
        const char* line;
        const char* result; // of the report
    };
    const TCase cases[] = {
        {"1.10", {"--expect-version", "1.4"}, 3, "expected: 1.4, but the device runs 1.10\n", "FAIL"},
        {"1.3", {}, 3, "failed:   the device still runs firmware 1.03: the update did not take (--expect-version 1.03 accepts an "
                       "unchanged version)\n", "FAIL"},
        {"1.3", {"--expect-version", "1.03"}, 0, "firmware: 1.03 -> 1.03 (", "PASS"},
        {"1.4", {}, 0, "firmware: 1.03 -> 1.04 (", "PASS"},
    };
    for (const TCase& c : cases) {
        Start(kLoopbackDevice, {"--new-version", c.newVersion});
        const QString reports = QStringLiteral("reports-%1-%2").arg(c.newVersion).arg(c.arguments.size());
        const TRun run = Ctl(QStringList{File("fw.bin", Image(1000)), "--report", reports} + c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.line << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(c.line)) << run.out.toStdString();
        const QStringList written = QDir(folder.filePath(reports)).entryList({"*.json"});
        ASSERT_EQ(written.size(), 1) << c.line;
        EXPECT_EQ(QJsonDocument::fromJson(ReadWholeFile(folder.filePath(reports + "/" + written[0]))).object()["result"], c.result);
    }
}

TEST_F(Firmware, ServesAnotherClientButCountsOnlyTheDevice)
{
    // The device never asks; meanwhile someone else fetches the URL whole.
    Start(kLoopbackDevice, {"--firmware-fetch", "never"});
    const QByteArray image = Image(1000);
    QProcess ctl;
    ctl.setWorkingDirectory(folder.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", folder.filePath("home"));
    ctl.setProcessEnvironment(environment);
    ctl.start(QStringLiteral(R7730CTL_BINARY), {"-p", QString::fromStdString(simulator->linkPath()), "--timeout", "400", "firmware",
                                                File("fw.bin", image), "--wait", "3"});
    QString out;
    while (!out.contains("sent:") && ctl.waitForReadyRead(10000))
        out += QString::fromUtf8(ctl.readAllStandardOutput());
    const QRegularExpressionMatch url = QRegularExpression("server:   http://127\\.0\\.0\\.1:(\\d+)/fw\\.bin ").match(out);
    ASSERT_TRUE(url.hasMatch()) << out.toStdString();

    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(url.captured(1).toInt()));
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    ASSERT_EQ(::connect(socket, reinterpret_cast<const sockaddr*>(&server), sizeof server), 0);
    const QByteArray request = "GET /fw.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ::send(socket, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL);
    QByteArray answer;
    char buffer[4096];
    for (ssize_t count; (count = ::recv(socket, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, count);
    ::close(socket);
    EXPECT_TRUE(answer.endsWith(image));

    ASSERT_TRUE(ctl.waitForFinished(20000));
    out += QString::fromUtf8(ctl.readAllStandardOutput());
    const QString err = QString::fromUtf8(ctl.readAllStandardError());
    EXPECT_EQ(ctl.exitCode(), 1);
    EXPECT_TRUE(QRegularExpression("\nanother client 127\\.0\\.0\\.1:\\d+ GET /fw\\.bin: 1000 of 1000 bytes, .*, complete \\(not counted\\)\n")
                    .match(out)
                    .hasMatch())
        << out.toStdString();
    EXPECT_FALSE(out.contains("served:")) << out.toStdString();
    EXPECT_TRUE(err.contains("the firmware was not downloaded whole within 3 s: no request came")) << err.toStdString();
    EXPECT_TRUE(State().contains("firmware = 1.3\n"));
}

TEST_F(Firmware, RefusesAServeAddressTheDeviceCannotFetchFrom)
{
    struct TCase {
        QByteArray device;
        const char* serve;
        const char* refusal;
    };
    const TCase cases[] = {
        {kLoopbackDevice, "0.0.0.0:9000", "--serve 0.0.0.0 names no address the device can fetch from"},
        {"ip = 192.168.0.10\nmask = 255.255.255.0\n", "127.0.0.1",
         "--serve 127.0.0.1 is this PC's loopback address, which the device at 192.168.0.10 cannot reach"},
    };
    for (const TCase& c : cases) {
        Start(c.device);
        const TRun run = Ctl({File("fw.bin", Image(1000)), "--serve", c.serve});
        EXPECT_EQ(run.exitCode, 2) << c.serve;
        EXPECT_TRUE(run.err.contains(c.refusal)) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith("only the status read was sent, no download frame\n")) << run.err.toStdString();
    }
    // The simulators of both cases wrote one log: each received the status read alone.
    EXPECT_EQ(Received(), QStringList({kStatusRead, kStatusRead}));
}
