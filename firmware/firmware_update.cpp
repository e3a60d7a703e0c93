// One firmware update on the device session (see firmware_update.h).
#include "firmware/firmware_update.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include "device/device_session.h"
#include "firmware/server_self_check.h"
#include "protocol/code_page.h"
#include "shell/termination_signals.h"

namespace r7730::firmware {
namespace {

constexpr int kHintAfterMs = 30000;
constexpr int kPollMs = 100;

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

double SecondsOf(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.elapsed()) / 1000.0;
}

TFirmwareUpdateResult Refused(const QString& reason)
{
    return {TUpdateOutcome::Refused, reason, {}, 0, {}, {}, {}};
}

struct TChosenAddress {
    std::optional<TOctets> address;
    QString why;     // where the address came from, for the person
    QString refusal; // when there is none
};

// The address given, when the device can fetch from it, or this PC's in the device's network.
TChosenAddress ServeAddress(const TFirmwareUpdateRequest& request, const TOctets& deviceIp, const std::optional<TOctets>& deviceMask)
{
    if (request.serveAddress) {
        if (const QString unfetchable = UnfetchableAddress(*request.serveAddress, deviceIp); !unfetchable.isEmpty())
            return {{}, {}, QStringLiteral("--serve %1").arg(unfetchable)};
        return {request.serveAddress, QStringLiteral("--serve"), {}};
    }
    if (!deviceMask)
        return {{}, {},
                QStringLiteral("the device's status reply did not decode its WAN address and mask, so this PC's address in "
                               "its network is unknown: give it with --serve ADDR")};
    const TAddressChoice choice = ChooseServeAddress(deviceIp, *deviceMask, InterfaceNetworks());
    if (!choice.address)
        return {{}, {}, choice.refusal};
    return {choice.address, QStringLiteral("this PC's address in the device's network %1").arg(NetworkText(deviceIp, *deviceMask)), {}};
}

// The device's requests while the file goes out, until it went out whole, the device's
// download stopped before its last byte, the wait ran out or the person interrupted.
class TDownloadWatch {
public:
    TDownloadWatch(TOneFileServer& server, IFirmwareUpdateEvents& events) : server_(server), events_(events) {}

    void Watch(TDeviceSession& session, int waitSeconds, int port)
    {
        clock_.start();
        const TTerminationSignals interruptible([&session] { session.Interrupt(); });
        bool hinted = false;
        while (!server_.ServedWhole() && !stopped_ && clock_.elapsed() < waitSeconds * 1000LL) {
            if (!session.Pause(kPollMs))
                break;
            TakeEvents();
            if (!hinted && requests_ == 0 && clock_.elapsed() >= kHintAfterMs) {
                hinted = true;
                events_.NoRequestYet(kHintAfterMs / 1000, port);
            }
        }
        TakeEvents();
    }

    double Seconds() const { return SecondsOf(clock_); }
    int Requests() const { return requests_; }

    // Why the file did not go out whole; empty when it did.
    QString Shortfall(bool interrupted, int waitSeconds) const
    {
        if (stopped_ && !server_.ServedWhole())
            return QStringLiteral("the download stopped: about %1 of %2 bytes reached the device (%3 written, %4 still held by "
                                  "this PC when the connection ended)")
                .arg(stopped_->delivered)
                .arg(stopped_->length)
                .arg(stopped_->sent)
                .arg(stopped_->sent - stopped_->delivered);
        if (server_.ServedWhole())
            return {};
        const QString seen = requests_ == 0 ? QStringLiteral("no request came")
                                            : QStringLiteral("%1 of %2 bytes went out in %3 %4%5")
                                                  .arg(server_.Covered())
                                                  .arg(server_.Size())
                                                  .arg(requests_)
                                                  .arg(requests_ == 1 ? "request" : "requests")
                                                  .arg(lastResult_.isEmpty() ? QString() : QStringLiteral(", the last %1").arg(lastResult_));
        if (interrupted)
            return QStringLiteral("interrupted: %1").arg(seen);
        return QStringLiteral("the firmware was not downloaded whole within %1 s: %2").arg(waitSeconds).arg(seen);
    }

private:
    void TakeEvents()
    {
        for (const TServeEvent& event : server_.TakeEvents()) {
            events_.Request(event);
            if (!event.device)
                continue;
            ++requests_;
            const bool file = event.status == 200 || event.status == 206;
            if (file && event.method == "GET" && !event.Complete())
                stopped_ = event;
            lastResult_ = file ? QString()
                               : QStringLiteral("answered %1 for %2").arg(event.status).arg(QString::fromStdString(AnsiToUtf8(event.path)));
        }
        events_.Progress(server_.Covered());
    }

    TOneFileServer& server_;
    IFirmwareUpdateEvents& events_;
    QElapsedTimer clock_;
    int requests_ = 0;                   // the device's
    QString lastResult_;                 // of the device's last request that got no file
    std::optional<TServeEvent> stopped_; // the device's download that ended before its last byte
};

// The version the device came back with: the one expected, or without an expectation any other
// than before.
void JudgeVersion(TFirmwareUpdateResult& result, const QString& versionBefore, const QString& expectVersion)
{
    const std::optional<TFirmwareVersion> now = FirmwareVersionOf(result.versionAfter);
    if (!expectVersion.isEmpty()) {
        if (now != FirmwareVersionOf(expectVersion)) {
            result.outcome = TUpdateOutcome::OtherThanExpected;
            result.reason = QStringLiteral("the device runs firmware %1, not the %2 expected").arg(result.versionAfter, expectVersion);
        }
        return;
    }
    if (now && now == FirmwareVersionOf(versionBefore)) {
        result.outcome = TUpdateOutcome::NotUpdated;
        result.reason = QStringLiteral("the device still runs firmware %1: the update did not take (--expect-version %1 accepts "
                                       "an unchanged version)")
                            .arg(result.versionAfter);
    } else if (!now) {
        result.outcome = TUpdateOutcome::NotUpdated;
        result.reason = QStringLiteral("the device reports the firmware version \"%1\", which is no version").arg(result.versionAfter);
    }
}

} // namespace

std::optional<TFirmwareVersion> FirmwareVersionOf(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return TFirmwareVersion{match.captured(1).toInt(), match.captured(2).toInt()};
}

TFirmwareUpdateResult UpdateFirmware(TDeviceSession& session, const TFirmwareUpdateRequest& request, const TStatusReply& status,
                                     IFirmwareUpdateEvents& events)
{
    // The address: given, or this PC's in the device's network.
    const std::optional<TOctets> deviceIp = OctetsOf(status.ip);
    if (!deviceIp)
        return Refused(QStringLiteral("the device's status reply did not decode its WAN address, so its requests for the file "
                                      "cannot be told from anyone else's"));
    const TChosenAddress chosen = ServeAddress(request, *deviceIp, OctetsOf(status.subnetMask));
    if (!chosen.address)
        return Refused(chosen.refusal);
    const std::string address = DottedText(*chosen.address).toStdString();

    // Serve, and ask for the file before the device is told to.
    TOneFileServer server(request.image.bytes, request.downloadName);
    const TListening listening = server.Listen(address, request.port);
    if (!listening.refusal.empty())
        return Refused(QString::fromStdString(listening.refusal));
    if (listening.port != request.port)
        events.PortTaken(QString::fromStdString(address), listening.port);
    server.Start();
    const QString url = QStringLiteral("http://%1:%2%3")
                            .arg(QString::fromStdString(address))
                            .arg(listening.port)
                            .arg(QString::fromStdString(AnsiToUtf8(request.downloadName)));
    if (const QString failed = ServerSelfCheck(address, listening.port, request.downloadName, request.image.sha256); !failed.isEmpty())
        return Refused(QStringLiteral("%1 (%2)").arg(failed, url));
    events.Serving(url, chosen.why);

    // The download: the device asks, the server answers; each request told as it ends.
    TFirmwareUpdateResult result{TUpdateOutcome::Failed, {}, url, 0, {}, {}, {}};
    const QString deviceAddress = DottedText(*deviceIp);
    server.Arm(deviceAddress.toStdString());
    session.Link().DownloadFirmware(TFirmwareDownload{*chosen.address, static_cast<std::uint16_t>(listening.port), request.downloadName});
    events.FrameSent(deviceAddress);
    TDownloadWatch watch(server, events);
    watch.Watch(session, request.waitSeconds, listening.port);
    result.downloadSeconds = watch.Seconds();
    result.bytesServed = server.BytesSent();
    result.reason = watch.Shortfall(session.Interrupted(), request.waitSeconds);
    if (!result.reason.isEmpty())
        return result;
    events.ServedWhole(server.BytesSent(), watch.Requests());

    // After: the device restarts with what it fetched. It counts as back only once it has gone
    // silent and then answers again: an answer before any silence is the old firmware still
    // running. The wait counts from the end of the download.
    QElapsedTimer rebootClock;
    rebootClock.start();
    TReturn back;
    {
        const TTerminationSignals interruptible([&session] { session.Interrupt(); });
        back = session.AwaitReturn(session.RebootWaitMs());
    }
    const double backSeconds = SecondsOf(rebootClock);
    result.bytesServed = server.BytesSent();
    if (!back.status || !back.silenceSeen) {
        const double waited = session.RebootWaitMs() / 1000.0;
        result.reason = session.Interrupted() ? QStringLiteral("interrupted while waiting for the device to come back")
                        : !back.status        ? QStringLiteral("the device did not answer again within %1 s after the download").arg(waited)
                                              : QStringLiteral("the device kept answering for %1 s after the download, with firmware "
                                                               "%2: it never restarted with the new firmware")
                                                    .arg(waited)
                                                    .arg(QString::fromStdU16String(back.status->version));
        return result;
    }
    const QString versionBefore = QString::fromStdU16String(status.version);
    result.outcome = TUpdateOutcome::Updated;
    result.backSeconds = backSeconds;
    result.versionAfter = QString::fromStdU16String(back.status->version);
    events.Back(versionBefore, result.versionAfter, backSeconds);
    JudgeVersion(result, versionBefore, request.expectVersion);
    return result;
}

} // namespace r7730::firmware
