// The commands that only read: ports, status, wifi, scan, signal.
#include <QJsonArray>
#include <QJsonObject>
#include <QTime>

#include "cli/commands.h"
#include "cli/session_wording.h"
#include "cli/failure.h"
#include "serial/com_port_description.h"
#include "shell/termination_signals.h"

namespace r7730::cli {
namespace {

QString Text(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

QJsonValue OrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// "-65", "70%", "6" as numbers; null when absent or not a number.
QJsonValue NumberOrNull(const std::optional<std::u16string>& text)
{
    bool number = false;
    const int value = text ? QString::fromStdU16String(*text).remove(QLatin1Char('%')).toInt(&number) : 0;
    return number ? QJsonValue(value) : QJsonValue();
}

QJsonValue NumberOrNull(const std::u16string& text)
{
    return NumberOrNull(std::optional<std::u16string>(text));
}

struct TSignalReading {
    QString ssid;
    QString rssi;    // "-65 dBm", or why there is none
    QString rssiShort; // "-65", "NOINFO"
    QString quality; // "70%", or "-"
    QJsonObject json;
};

TSignalReading Reading(const TSignalReply& reply)
{
    TSignalReading reading;
    reading.ssid = Text(reply.ssid);
    QJsonObject json{{"ssid", reading.ssid}, {"connected", !reply.noInfo}};
    if (reply.noInfo) {
        reading.rssi = QStringLiteral("NOINFO (joined no access point)");
        reading.rssiShort = QStringLiteral("NOINFO");
        reading.quality = QStringLiteral("-");
        json.insert("rssi", QJsonValue());
        json.insert("quality", QJsonValue());
    } else {
        bool number = false;
        const int rssi = Text(reply.rssiText).toInt(&number);
        reading.rssi = number ? QStringLiteral("%1 dBm").arg(rssi) : Text(reply.rssiText);
        reading.rssiShort = number ? QString::number(rssi) : Text(reply.rssiText);
        reading.quality = reply.quality ? QStringLiteral("%1%").arg(*reply.quality) : QStringLiteral("-");
        json.insert("rssi", number ? QJsonValue(rssi) : QJsonValue(Text(reply.rssiText)));
        json.insert("quality", reply.quality ? QJsonValue(*reply.quality) : QJsonValue());
    }
    reading.json = json;
    return reading;
}

} // namespace

int PortsCommand(TOutput& output)
{
    std::vector<TComPortDescription> ports;
    try {
        ports = DescribeComPorts();
    } catch (const std::exception& error) {
        throw TCliFailure(kExitDevice, QStringLiteral("cannot list the serial ports: %1").arg(QString::fromUtf8(error.what())));
    }
    QJsonArray json;
    if (ports.empty())
        output.Line(QStringLiteral("no serial ports found"));
    for (const TComPortDescription& port : ports) {
        const QString usb = Text(UsbSummary(port));
        const QString access = port.access.usable ? QStringLiteral("yes") : QStringLiteral("no: %1").arg(Text(port.access.reason));
        output.Line(Text(port.path));
        output.Fields({{QStringLiteral("  link"), port.stableLink.empty() ? QStringLiteral("-") : Text(port.stableLink)},
                       {QStringLiteral("  usb"), usb.isEmpty() ? QStringLiteral("-") : usb},
                       {QStringLiteral("  open"), access}});
        QJsonArray holders;
        for (const TPortHolder& holder : port.access.holders)
            holders.append(QJsonObject{{"pid", holder.pid}, {"program", Text(holder.program)}});
        QJsonValue usbJson;
        if (!port.usbVendorId.empty())
            usbJson = QJsonObject{{"vendor_id", Text(port.usbVendorId)},  {"product_id", Text(port.usbProductId)},
                                  {"serial", OrNull(Text(port.usbSerial))}, {"manufacturer", OrNull(Text(port.manufacturer))},
                                  {"product", OrNull(Text(port.product))}};
        json.append(QJsonObject{{"path", Text(port.path)},
                                {"link", OrNull(Text(port.stableLink))},
                                {"usb", usbJson},
                                {"usable", port.access.usable},
                                {"reason", OrNull(Text(port.access.reason))},
                                {"holders", holders}});
    }
    output.SetDocument(json);
    return kExitDone;
}

int StatusCommand(TCtlSession& session, TOutput& output)
{
    const TStatusReply status = session.ReadStatus();
    const QString model = Text(status.deviceName), firmware = Text(status.version), mac = Text(status.macAddress);
    output.Fields({{"model", model}, {"firmware", firmware}, {"mac", mac}}, kLabelWidth);
    QJsonObject json{{"port", session.PortName()}, {"model", model}, {"firmware", firmware}, {"mac", mac}};
    for (TSection section : {TSection::Wan, TSection::Tcp, TSection::Serial}) {
        const TTexts texts = TextsOfStatus(section, status);
        output.Line();
        output.Line(QStringLiteral("[%1]").arg(SectionName(section)));
        output.Fields(FieldsOf(section, texts), kLabelWidth);
        json.insert(SectionName(section), JsonOf(texts));
    }
    output.SetDocument(json);
    return kExitDone;
}

int WifiCommand(TCtlSession& session, TOutput& output)
{
    const TTexts texts = TextsOfAccessPoint(session.ReadCurrentAp());
    if (texts.at("ssid").isEmpty())
        output.Line(QStringLiteral("the device has joined no access point"));
    else
        output.Fields(FieldsOf(TSection::AccessPoint, texts), kLabelWidth);
    output.SetDocument(JsonOf(texts));
    return kExitDone;
}

int ScanCommand(TCtlSession& session, TOutput& output)
{
    const TScanReply scan = session.Scan();
    QList<QStringList> rows = {{"NO", "SSID", "CH", "RSSI", "QUALITY", "AUTH"}};
    QJsonArray json;
    for (const TScanRow& row : scan.rows) {
        auto text = [](const std::optional<std::u16string>& value) { return value ? Text(*value) : QStringLiteral("-"); };
        rows.append({QString::number(row.number), Text(row.ssid), Text(row.channel), text(row.rssi), text(row.quality),
                     text(row.authMode)});
        json.append(QJsonObject{{"number", row.number},
                                {"ssid", Text(row.ssid)},
                                {"channel", NumberOrNull(row.channel)},
                                {"rssi", NumberOrNull(row.rssi)},
                                {"quality", NumberOrNull(row.quality)},
                                {"auth", row.authMode ? QJsonValue(Text(*row.authMode)) : QJsonValue()}});
    }
    if (scan.rows.empty())
        output.Line(QStringLiteral("the device sees no access point"));
    else
        output.Table(rows);
    output.SetDocument(json);
    return kExitDone;
}

int SignalCommand(TCtlSession& session, TOutput& output, std::optional<int> watchSeconds)
{
    if (!watchSeconds) {
        const TSignalReading reading = Reading(session.ReadSignal());
        output.Fields({{"ssid", reading.ssid}, {"rssi", reading.rssi}, {"quality", reading.quality}}, kLabelWidth);
        output.SetDocument(reading.json);
        return kExitDone;
    }
    // One line a reading, in columns wide enough for an SSID of its full 32 bytes.
    const TTerminationSignals interruptible([&session] { session.Interrupt(); });
    auto row = [](const QString& time, const QString& ssid, const QString& rssi, const QString& quality) {
        return Padded(time, 10) + Padded(ssid, 34) + Padded(rssi, 8) + quality;
    };
    output.Line(row("TIME", "SSID", "RSSI", "QUALITY"));
    output.Progress(QStringLiteral("every %1 s until Ctrl+C").arg(*watchSeconds));
    QJsonArray readings;
    while (true) {
        std::optional<TSignalReply> reply;
        try {
            reply = session.ReadSignal();
        } catch (const TCliFailure&) {
            if (!session.Interrupted())
                throw;
        }
        if (!reply)
            break;
        const TSignalReading reading = Reading(*reply);
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        output.Line(row(time, reading.ssid, reading.rssiShort, reading.quality));
        QJsonObject json = reading.json;
        json.insert("time", time);
        readings.append(json);
        if (!session.Pause(*watchSeconds * 1000))
            break;
    }
    output.SetDocument(readings);
    return kExitDone;
}

} // namespace r7730::cli
