// r7730ctl firmware: the update of firmware/firmware_update.h, checked before, shown during and
// verified after, in r7730ctl's words.
//
// The file, its name in the frame and the port are checked before the serial port opens; the
// address needs the device's WAN network, so one status read comes first. During the download
// each request is a line, the share of the file that went out to the device a bar. A version
// that did not change is a failure unless it is the one expected. With --report the attempt is
// written once the server answered its own request, whatever the outcome after that.
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include "cli/commands.h"
#include "cli/session_wording.h"
#include "cli/failure.h"
#include "cli/firmware_progress.h"
#include "cli/unit_report.h"
#include "firmware/download_name.h"
#include "firmware/firmware_update.h"
#include "protocol/code_page.h"
#include "shell/profile_file.h"

namespace r7730::cli {
namespace {

using namespace r7730::firmware;

constexpr int kDefaultPort = 8070;
constexpr int kLowestPort = 1024;

[[noreturn]] void Refuse(const QString& reason, const QString& sent = QStringLiteral("nothing was sent"))
{
    throw TCliFailure(kExitRefused, QStringLiteral("%1; %2").arg(reason, sent));
}

struct TServeAt {
    std::optional<TOctets> address; // nothing: this PC's address in the device's network
    int port = 0;
    QString portFrom; // where the port came from, for the person
};

TServeAt ServeAt(const QString& serve, const TSettingsFile& settings)
{
    TServeAt at;
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3}(?:\\.\\d{1,3}){3})?(?::(\\d{1,5}))?$"));
    const QRegularExpressionMatch match = form.match(serve);
    if (match.hasCaptured(1))
        at.address = OctetsOfDotted(match.captured(1).toStdString());
    if (!match.hasMatch() || (match.hasCaptured(1) && !at.address))
        Refuse(QStringLiteral("--serve takes ADDR[:PORT] (192.168.0.5 or 192.168.0.5:8070), not \"%1\"").arg(serve));
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


const QString kNothingOpened = QStringLiteral("nothing was opened or sent");

// What the update tells, as lines for the person and events for --json.
class TFirmwareWords : public IFirmwareUpdateEvents {
public:
    TFirmwareWords(TOutput& output, const TServeAt& serveAt, int waitSeconds, std::uint64_t size)
        : output_(output), serveAt_(serveAt), waitSeconds_(waitSeconds), progress_(output, size)
    {
    }

    void PortTaken(const QString& address, int port) override
    {
        output_.Line(QStringLiteral("port:     %1 (%2) is taken on %3: serving on %4").arg(serveAt_.port).arg(serveAt_.portFrom, address).arg(port));
    }
    void Serving(const QString& url, const QString& addressFrom) override
    {
        output_.Line(QStringLiteral("server:   %1 (%2); it answered its own request with the whole file").arg(url, addressFrom));
        output_.JsonLine(QJsonObject{{"event", "serving"}, {"url", url}, {"address_from", addressFrom}});
    }
    void FrameSent(const QString& deviceAddress) override
    {
        output_.Line(QStringLiteral("sent:     the download frame; waiting up to %1 s for the device (%2) to ask").arg(waitSeconds_).arg(deviceAddress));
    }
    void Request(const TServeEvent& event) override { progress_.Request(event); }
    void Progress(std::uint64_t covered) override { progress_.Progress(covered); }
    void NoRequestYet(int seconds, int port) override
    {
        progress_.Note(QStringLiteral("hint"), QStringLiteral("no request in %1 s: usually the device has not joined its access point "
                                                              "(r7730ctl wifi, signal), this PC is not in the device's network, or a "
                                                              "firewall on this PC blocks port %2; still waiting")
                                                   .arg(seconds)
                                                   .arg(port));
    }
    void ServedWhole(std::uint64_t bytes, int requests) override
    {
        output_.Line(QStringLiteral("served:   the whole file went out (%1 bytes in %2 %3); waiting for the device to come back "
                                    "from its reboot")
                         .arg(bytes)
                         .arg(requests)
                         .arg(requests == 1 ? "request" : "requests"));
    }
    void Back(const QString& versionBefore, const QString& versionAfter, double seconds) override
    {
        output_.Line(QStringLiteral("firmware: %1 -> %2 (the device answered again after %3 s)")
                         .arg(versionBefore, versionAfter, QString::number(seconds, 'f', 1)));
    }

private:
    TOutput& output_;
    const TServeAt& serveAt_;
    int waitSeconds_;
    TFirmwareProgress progress_;
};

// The file, its name in the frame and the place to serve it, checked before the serial port opens.
TFirmwareUpdateRequest CheckedRequest(const TInvocation& invocation, TServeAt& serveAt)
{
    const TFirmwareInvocation& options = invocation.firmware;
    if (!options.expectVersion.isEmpty() && !FirmwareVersionOf(options.expectVersion))
        Refuse(QStringLiteral("--expect-version takes MAJOR.MINOR (1.05), not \"%1\"").arg(options.expectVersion), kNothingOpened);
    TImageCheck check = ReadFirmwareImage(invocation.file, options.maxSize, options.force);
    if (!check.image)
        Refuse(check.refusal, kNothingOpened);
    const TDownloadName name = DownloadNameOf(check.image->baseName);
    if (!name.refusal.isEmpty())
        Refuse(name.refusal, kNothingOpened);
    serveAt = ServeAt(options.serve, FindSettingsFile());
    return {std::move(*check.image), name.ansi, serveAt.address, serveAt.port, options.waitSeconds, options.expectVersion};
}

void ShowFile(TOutput& output, const TFirmwareUpdateRequest& request, int maxSize)
{
    const TFirmwareImage& image = request.image;
    const QString fieldText = QString::fromStdString(AnsiToUtf8(request.downloadName));
    output.Line(QStringLiteral("file:     %1, %2 bytes, SHA-256 %3").arg(image.path).arg(image.bytes.size()).arg(QString::fromLatin1(image.sha256)));
    output.Line(QStringLiteral("checks:   a regular file of at most %1 bytes, %2; \"%3\" fits the download frame's 32-byte "
                               "file-name field whole (%4 bytes)")
                    .arg(maxSize)
                    .arg(TextLikeness(image.bytes).isEmpty() ? QStringLiteral("not text or HTML")
                                                             : QStringLiteral("text-like but sent with --force"))
                    .arg(fieldText)
                    .arg(request.downloadName.size()));
    output.JsonLine(QJsonObject{{"event", "file"},
                                {"file", image.path},
                                {"size", image.bytes.size()},
                                {"sha256", QString::fromLatin1(image.sha256)},
                                {"name", fieldText}});
}

void ShowDevice(TOutput& output, const TStatusReply& status)
{
    auto dotted = [](const std::array<std::u16string, 4>& octets) {
        QStringList parts;
        for (const std::u16string& octet : octets)
            parts << QString::fromStdU16String(octet);
        return parts.join(QLatin1Char('.'));
    };
    const QString version = QString::fromStdU16String(status.version);
    output.Line(QStringLiteral("device:   %1 %2, firmware %3, WAN %4 mask %5")
                    .arg(QString::fromStdU16String(status.deviceName), QString::fromStdU16String(status.macAddress), version,
                         dotted(status.ip), dotted(status.subnetMask)));
    output.JsonLine(QJsonObject{{"event", "device"},
                                {"model", QString::fromStdU16String(status.deviceName)},
                                {"mac", QString::fromStdU16String(status.macAddress)},
                                {"firmware", version}});
}

// The attempt as the update left it, its report written; a failure raises TCliFailure (exit 1).
int Conclude(const TFirmwareUpdateRequest& request, const TFirmwareUpdateResult& result, const TStatusReply& before,
             TUnitReport& unit, TOutput& output)
{
    const TFirmwareImage& image = request.image;
    unit.Attempt().firmware = provision::TFirmwareRecord{image.baseName, image.bytes.size(), image.sha256, result.url,
                                                         static_cast<qint64>(result.bytesServed)};
    if (result.downloadSeconds)
        unit.Attempt().steps.push_back({QStringLiteral("download"), *result.downloadSeconds});
    if (result.backSeconds) {
        unit.Attempt().firmwareAfter = result.versionAfter;
        unit.Attempt().steps.push_back({QStringLiteral("reboot"), *result.backSeconds});
    }
    if (!result.reason.isEmpty())
        unit.Fail(result.reason);
    if (result.outcome == TUpdateOutcome::OtherThanExpected)
        output.Line(QStringLiteral("expected: %1, but the device runs %2").arg(request.expectVersion, result.versionAfter));
    else if (result.outcome == TUpdateOutcome::NotUpdated)
        output.Line(QStringLiteral("failed:   %1").arg(result.reason));
    const QStringList reports = unit.Write();
    if (!reports.isEmpty())
        output.Line(QStringLiteral("report:   %1").arg(reports.join(", ")));
    if (result.outcome == TUpdateOutcome::Failed)
        throw TCliFailure(kExitDevice, result.reason);
    QJsonObject document{{"done", "firmware"},
                         {"file", image.path},
                         {"size", image.bytes.size()},
                         {"sha256", QString::fromLatin1(image.sha256)},
                         {"url", result.url},
                         {"bytes_served", static_cast<qint64>(result.bytesServed)},
                         {"firmware_before", QString::fromStdU16String(before.version)},
                         {"firmware_after", result.versionAfter},
                         {"back_after_s", *result.backSeconds}};
    if (result.outcome == TUpdateOutcome::OtherThanExpected)
        document.insert("expected", request.expectVersion);
    if (!reports.isEmpty())
        document.insert("reports", QJsonArray::fromStringList(reports));
    output.SetDocument(document);
    return result.outcome == TUpdateOutcome::Updated ? kExitDone : kExitMismatch;
}

} // namespace

int FirmwareCommand(const TInvocation& invocation, TOutput& output)
{
    TServeAt serveAt;
    const TFirmwareUpdateRequest request = CheckedRequest(invocation, serveAt);
    ShowFile(output, request, invocation.firmware.maxSize);

    const auto session = OpenSession(invocation, output);
    const TStatusReply before = session->ReadStatus();
    ShowDevice(output, before);
    TUnitReport unit(invocation.reportDir, *session, before);
    TFirmwareWords words(output, serveAt, request.waitSeconds, static_cast<std::uint64_t>(request.image.bytes.size()));
    const TFirmwareUpdateResult result =
        session->Run([&] { return UpdateFirmware(session->Device(), request, before, words); });
    if (result.outcome == TUpdateOutcome::Refused)
        Refuse(result.reason, QStringLiteral("only the status read was sent, no download frame"));
    return Conclude(request, result, before, unit, output);
}

} // namespace r7730::cli
