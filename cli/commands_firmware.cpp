// r7730ctl firmware: a firmware update checked before, shown during and verified after.
//
// Before the download frame: the file, its name in the frame and the port are checked before the
// serial port opens; the address needs the device's WAN network, so one status read comes
// first. The program's own one-file server then answers its own request, and only then is the
// device told to fetch. During: each request is a line, the share of the file that went out to
// the device a bar; only requests from the device's WAN address count, anyone else who fetches
// the URL is served and told as another client. A download of the device that stops ends the
// wait at once. After the file went out whole: the device must go silent (it restarts) and then
// answer again, and its version is read back; a version that did not change is a failure unless
// it is the one expected.
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <arpa/inet.h>

#include "cli/commands.h"
#include "cli/session_wording.h"
#include "cli/failure.h"
#include "cli/firmware_progress.h"
#include "cli/unit_report.h"
#include "firmware/download_name.h"
#include "firmware/firmware_image.h"
#include "firmware/one_file_server.h"
#include "firmware/self_test.h"
#include "firmware/serve_address.h"
#include "protocol/code_page.h"
#include "shell/profile_file.h"
#include "shell/termination_signals.h"

namespace r7730::cli {
namespace {

using namespace r7730::firmware;

constexpr int kDefaultPort = 8070;
constexpr int kLowestPort = 1024;
constexpr int kHintAfterMs = 30000;
constexpr int kPollMs = 100;

struct TVersion {
    int major = 0;
    int minor = 0;
    bool operator==(const TVersion&) const = default;
};

// "1.05" and "1.5" are both major 1, minor 5.
std::optional<TVersion> VersionOf(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return TVersion{match.captured(1).toInt(), match.captured(2).toInt()};
}

[[noreturn]] void Refuse(const QString& reason, const QString& sent = QStringLiteral("nothing was sent"))
{
    throw TCliFailure(kExitRefused, QStringLiteral("%1; %2").arg(reason, sent));
}

struct TServeAt {
    QString address; // empty: this PC's address in the device's network
    int port = 0;
    QString portFrom; // where the port came from, for the person
};

TServeAt ServeAt(const QString& serve, const TSettingsFile& settings)
{
    TServeAt at;
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3}(?:\\.\\d{1,3}){3})?(?::(\\d{1,5}))?$"));
    const QRegularExpressionMatch match = form.match(serve);
    in_addr parsed{};
    if (!match.hasMatch() || (match.hasCaptured(1) && ::inet_pton(AF_INET, match.captured(1).toLatin1().constData(), &parsed) != 1))
        Refuse(QStringLiteral("--serve takes ADDR[:PORT] (192.168.0.5 or 192.168.0.5:8070), not \"%1\"").arg(serve));
    at.address = match.captured(1);
    if (match.hasCaptured(2)) {
        at.port = match.captured(2).toInt();
        at.portFrom = QStringLiteral("--serve");
    } else {
        const QString text = QString::fromStdString(
            ReadProfileString(QFile::encodeName(settings.path).toStdString(), "HTTPServer", "Port", std::to_string(kDefaultPort)));
        bool number = false;
        at.port = text.toInt(&number);
        at.portFrom = QStringLiteral("HTTPServer/Port of %1").arg(settings.path);
        if (!settings.found || !number || at.port < 1 || at.port > 65535) {
            at.port = kDefaultPort;
            at.portFrom = QStringLiteral("the default");
        }
    }
    if (at.port < kLowestPort || at.port > 65535)
        Refuse(QStringLiteral("port %1 (%2) is a privileged port, which only the administrator may open: take one from %3 to "
                              "65535")
                   .arg(at.port)
                   .arg(at.portFrom)
                   .arg(kLowestPort));
    return at;
}

std::optional<TOctets> OctetsOf(const std::array<std::u16string, 4>& texts)
{
    TOctets octets{};
    for (std::size_t i = 0; i < 4; ++i) {
        bool number = false;
        const int value = QString::fromStdU16String(texts[i]).toInt(&number);
        if (!number || value < 0 || value > 255)
            return std::nullopt;
        octets[i] = static_cast<std::uint8_t>(value);
    }
    return octets;
}

TOctets OctetsOfDotted(const std::string& dotted)
{
    in_addr parsed{};
    ::inet_pton(AF_INET, dotted.c_str(), &parsed);
    const std::uint32_t value = ntohl(parsed.s_addr);
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value)};
}

QString UrlOf(const std::string& address, int port, const std::string& path)
{
    return QStringLiteral("http://%1:%2%3").arg(QString::fromStdString(address)).arg(port).arg(QString::fromStdString(AnsiToUtf8(path)));
}

} // namespace

int FirmwareCommand(const TInvocation& invocation, TOutput& output)
{
    const TFirmwareInvocation& options = invocation.firmware;
    std::optional<TVersion> expected;
    if (!options.expectVersion.isEmpty() && !(expected = VersionOf(options.expectVersion)))
        Refuse(QStringLiteral("--expect-version takes MAJOR.MINOR (1.05), not \"%1\"").arg(options.expectVersion),
               QStringLiteral("nothing was opened or sent"));

    // The file, its name in the frame and the port, before the serial port opens.
    const TImageCheck check = ReadFirmwareImage(invocation.file, options.maxSize, options.force);
    if (!check.image)
        Refuse(check.refusal, QStringLiteral("nothing was opened or sent"));
    const TFirmwareImage& image = *check.image;
    const TDownloadName name = DownloadNameOf(image.baseName);
    if (!name.refusal.isEmpty())
        Refuse(name.refusal, QStringLiteral("nothing was opened or sent"));
    const TServeAt serveAt = ServeAt(options.serve, FindSettingsFile());
    const QString fieldText = QString::fromStdString(AnsiToUtf8(name.ansi));
    output.Line(QStringLiteral("file:     %1, %2 bytes, SHA-256 %3").arg(image.path).arg(image.bytes.size()).arg(QString::fromLatin1(image.sha256)));
    output.Line(QStringLiteral("checks:   a regular file of at most %1 bytes, %2; \"%3\" fits the download frame's 32-byte "
                               "file-name field whole (%4 bytes)")
                    .arg(options.maxSize)
                    .arg(TextLikeness(image.bytes).isEmpty() ? QStringLiteral("not text or HTML")
                                                             : QStringLiteral("text-like but sent with --force"))
                    .arg(fieldText)
                    .arg(name.ansi.size()));
    output.JsonLine(QJsonObject{{"event", "file"},
                                {"file", image.path},
                                {"size", image.bytes.size()},
                                {"sha256", QString::fromLatin1(image.sha256)},
                                {"name", fieldText}});

    const auto session = OpenSession(invocation, output);
    const TStatusReply before = session->ReadStatus();
    const QString versionBefore = QString::fromStdU16String(before.version);
    const std::optional<TOctets> deviceIp = OctetsOf(before.ip);
    const std::optional<TOctets> deviceMask = OctetsOf(before.subnetMask);
    auto dotted = [](const std::array<std::u16string, 4>& octets) {
        QStringList parts;
        for (const std::u16string& octet : octets)
            parts << QString::fromStdU16String(octet);
        return parts.join(QLatin1Char('.'));
    };
    output.Line(QStringLiteral("device:   %1 %2, firmware %3, WAN %4 mask %5")
                    .arg(QString::fromStdU16String(before.deviceName), QString::fromStdU16String(before.macAddress), versionBefore,
                         dotted(before.ip), dotted(before.subnetMask)));
    output.JsonLine(QJsonObject{{"event", "device"},
                                {"model", QString::fromStdU16String(before.deviceName)},
                                {"mac", QString::fromStdU16String(before.macAddress)},
                                {"firmware", versionBefore}});

    // The address: given, or this PC's in the device's network.
    const QString onlyStatusRead = QStringLiteral("only the status read was sent, no download frame");
    if (!deviceIp)
        Refuse(QStringLiteral("the device's status reply did not decode its WAN address, so its requests for the file cannot "
                              "be told from anyone else's"),
               onlyStatusRead);
    std::string address = serveAt.address.toStdString();
    QString addressWhy = QStringLiteral("--serve");
    if (!address.empty()) {
        if (const QString unfetchable = UnfetchableAddress(OctetsOfDotted(address), *deviceIp); !unfetchable.isEmpty())
            Refuse(QStringLiteral("--serve %1").arg(unfetchable), onlyStatusRead);
    } else {
        if (!deviceMask)
            Refuse(QStringLiteral("the device's status reply did not decode its WAN address and mask, so this PC's address in "
                                  "its network is unknown: give it with --serve ADDR"),
                   onlyStatusRead);
        const TAddressChoice choice = ChooseServeAddress(*deviceIp, *deviceMask, InterfaceNetworks());
        if (!choice.refusal.isEmpty())
            Refuse(choice.refusal, onlyStatusRead);
        address = choice.address;
        addressWhy = QStringLiteral("this PC's address in the device's network %1").arg(NetworkText(*deviceIp, *deviceMask));
    }

    TOneFileServer server(image.bytes, name.ansi);
    const TListening listening = server.Listen(address, serveAt.port);
    if (!listening.refusal.empty())
        Refuse(QString::fromStdString(listening.refusal), onlyStatusRead);
    if (listening.port != serveAt.port)
        output.Line(QStringLiteral("port:     %1 (%2) is taken on %3: serving on %4")
                        .arg(serveAt.port)
                        .arg(serveAt.portFrom, QString::fromStdString(address))
                        .arg(listening.port));
    server.Start();
    const QString url = UrlOf(address, listening.port, name.ansi);
    if (const QString failed = SelfTest(address, listening.port, name.ansi, image.sha256); !failed.isEmpty())
        Refuse(QStringLiteral("%1 (%2)").arg(failed, url), onlyStatusRead);
    output.Line(QStringLiteral("server:   %1 (%2); it answered its own request with the whole file").arg(url, addressWhy));
    output.JsonLine(QJsonObject{{"event", "serving"}, {"url", url}, {"address_from", addressWhy}});

    TUnitReport unit(invocation.reportDir, *session, before);
    unit.Attempt().firmware = provision::TFirmwareRecord{image.baseName, image.bytes.size(), image.sha256, url, 0};
    auto fail = [&](const QString& message, TExitCode code = kExitDevice) -> void {
        unit.Attempt().firmware->bytesServed = static_cast<qint64>(server.BytesSent());
        unit.Fail(message);
        const QStringList reports = unit.Write();
        if (!reports.isEmpty())
            output.Line(QStringLiteral("report:   %1").arg(reports.join(", ")));
        throw TCliFailure(code, message);
    };

    // The download: the device asks, the server answers; each request told as it ends.
    const TOctets& ip = *deviceIp;
    const QString deviceAddress = QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
    server.Arm(deviceAddress.toStdString());
    session->Link().DownloadFirmware(TFirmwareDownload{OctetsOfDotted(address), static_cast<std::uint16_t>(listening.port), name.ansi});
    output.Line(QStringLiteral("sent:     the download frame; waiting up to %1 s for the device (%2) to ask")
                    .arg(options.waitSeconds)
                    .arg(deviceAddress));

    QElapsedTimer clock;
    clock.start();
    TFirmwareProgress progress(output, server.Size());
    int requests = 0; // the device's
    QString lastResult;
    std::optional<TServeEvent> stopped; // the device's download that ended before its last byte
    bool hinted = false;
    {
        const TTerminationSignals interruptible([&session] { session->Interrupt(); });
        auto takeEvents = [&] {
            for (const TServeEvent& event : server.TakeEvents()) {
                progress.Request(event);
                if (!event.device)
                    continue;
                ++requests;
                const bool file = event.status == 200 || event.status == 206;
                if (file && event.method == "GET" && !event.Complete())
                    stopped = event;
                lastResult = file ? QString() : QStringLiteral("answered %1 for %2").arg(event.status).arg(QString::fromStdString(AnsiToUtf8(event.path)));
            }
            progress.Progress(server.Covered());
        };
        while (!server.ServedWhole() && !stopped && clock.elapsed() < options.waitSeconds * 1000LL) {
            if (!session->Pause(kPollMs))
                break;
            takeEvents();
            if (!hinted && requests == 0 && clock.elapsed() >= kHintAfterMs) {
                hinted = true;
                progress.Note(QStringLiteral("hint"),
                              QStringLiteral("no request in %1 s: usually the device has not joined its access point (r7730ctl "
                                             "wifi, signal), this PC is not in the device's network, or a firewall on this PC "
                                             "blocks port %2; still waiting")
                                  .arg(kHintAfterMs / 1000)
                                  .arg(listening.port));
            }
        }
        takeEvents();
    }
    const double downloadSeconds = static_cast<double>(clock.elapsed()) / 1000.0;
    unit.Attempt().firmware->bytesServed = static_cast<qint64>(server.BytesSent());
    unit.Attempt().steps.push_back({QStringLiteral("download"), downloadSeconds});
    if (stopped && !server.ServedWhole())
        fail(QStringLiteral("the download stopped: about %1 of %2 bytes reached the device (%3 written, %4 still held by this "
                            "PC when the connection ended)")
                 .arg(stopped->delivered)
                 .arg(stopped->length)
                 .arg(stopped->sent)
                 .arg(stopped->sent - stopped->delivered));
    if (!server.ServedWhole()) {
        const QString seen = requests == 0 ? QStringLiteral("no request came")
                                           : QStringLiteral("%1 of %2 bytes went out in %3 %4%5")
                                                 .arg(server.Covered())
                                                 .arg(server.Size())
                                                 .arg(requests)
                                                 .arg(requests == 1 ? "request" : "requests")
                                                 .arg(lastResult.isEmpty() ? QString() : QStringLiteral(", the last %1").arg(lastResult));
        if (session->Interrupted())
            fail(QStringLiteral("interrupted: %1").arg(seen));
        fail(QStringLiteral("the firmware was not downloaded whole within %1 s: %2").arg(options.waitSeconds).arg(seen));
    }
    output.Line(QStringLiteral("served:   the whole file went out (%1 bytes in %2 %3); waiting for the device to come back "
                               "from its reboot")
                    .arg(server.BytesSent())
                    .arg(requests)
                    .arg(requests == 1 ? "request" : "requests"));

    // After: the device restarts with what it fetched. It counts as back only once it has gone
    // silent and then answers again (the session's return wait): an answer before any silence is
    // the old firmware still running. The wait counts from the end of the download.
    QElapsedTimer rebootClock;
    rebootClock.start();
    TReturn back;
    {
        const TTerminationSignals interruptible([&session] { session->Interrupt(); });
        back = session->Run([&session] { return session->Device().AwaitReturn(session->RebootWaitMs()); });
    }
    const double backSeconds = static_cast<double>(rebootClock.elapsed()) / 1000.0;
    if (!back.status || !back.silenceSeen)
        fail(session->Interrupted() ? QStringLiteral("interrupted while waiting for the device to come back")
             : !back.status ? QStringLiteral("the device did not answer again within %1 s after the download")
                                  .arg(session->RebootWaitMs() / 1000.0)
                            : QStringLiteral("the device kept answering for %1 s after the download, with firmware %2: it never "
                                             "restarted with the new firmware")
                                  .arg(session->RebootWaitMs() / 1000.0)
                                  .arg(QString::fromStdU16String(back.status->version)));
    const std::optional<TStatusReply>& after = back.status;
    const QString versionAfter = QString::fromStdU16String(after->version);
    unit.Attempt().firmwareAfter = versionAfter;
    unit.Attempt().steps.push_back({QStringLiteral("reboot"), backSeconds});
    output.Line(QStringLiteral("firmware: %1 -> %2 (the device answered again after %3 s)")
                    .arg(versionBefore, versionAfter, QString::number(backSeconds, 'f', 1)));
    const std::optional<TVersion> now = VersionOf(versionAfter);
    const bool unchanged = now && now == VersionOf(versionBefore);
    // The version the device came back with: the one expected, or without an expectation any
    // other than before.
    const bool mismatch = expected ? !now || !(*now == *expected) : unchanged || !now;
    QJsonObject document{{"done", "firmware"},
                         {"file", image.path},
                         {"size", image.bytes.size()},
                         {"sha256", QString::fromLatin1(image.sha256)},
                         {"url", url},
                         {"bytes_served", static_cast<qint64>(server.BytesSent())},
                         {"firmware_before", versionBefore},
                         {"firmware_after", versionAfter},
                         {"back_after_s", backSeconds}};
    if (mismatch && expected) {
        document.insert("expected", options.expectVersion);
        unit.Fail(QStringLiteral("the device runs firmware %1, not the %2 expected").arg(versionAfter, options.expectVersion));
        output.Line(QStringLiteral("expected: %1, but the device runs %2").arg(options.expectVersion, versionAfter));
    } else if (mismatch) {
        const QString failure = unchanged ? QStringLiteral("the device still runs firmware %1: the update did not take (--expect-version "
                                                           "%1 accepts an unchanged version)")
                                                .arg(versionAfter)
                                          : QStringLiteral("the device reports the firmware version \"%1\", which is no version")
                                                .arg(versionAfter);
        unit.Fail(failure);
        output.Line(QStringLiteral("failed:   %1").arg(failure));
    }
    const QStringList reports = unit.Write();
    if (!reports.isEmpty()) {
        output.Line(QStringLiteral("report:   %1").arg(reports.join(", ")));
        document.insert("reports", QJsonArray::fromStringList(reports));
    }
    output.SetDocument(document);
    return mismatch ? kExitMismatch : kExitDone;
}

} // namespace r7730::cli
