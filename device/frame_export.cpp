#include "device/frame_export.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

#include "protocol/frame.h"
#include "protocol/frame_anatomy.h"
#include "protocol/hex_text.h"
#include "shell/csv_line.h"

namespace r7730 {
namespace {

QString KindText(TFrameKind kind)
{
    switch (kind) {
    case TFrameKind::Frame: return QStringLiteral("frame");
    case TFrameKind::Overflowed: return QStringLiteral("overflowed");
    case TFrameKind::Discarded: return QStringLiteral("discarded");
    }
    return {};
}

} // namespace

QString IsoTime(std::chrono::system_clock::time_point time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

TFrameRecord RecordOf(const TStoredFrame& frame)
{
    TFrameRecord record;
    record.sequence = frame.sequence;
    record.time = IsoTime(frame.wallClock);
    record.direction = frame.direction;
    record.kind = frame.kind;
    record.status = frame.content->status;
    record.bytes = frame.content->bytes;
    record.summary = frame.content->summary;
    record.answers = frame.answers;
    if (frame.latency)
        record.latencyMs = static_cast<double>(frame.latency->count()) / 1000.0;
    return record;
}

QString DirectionText(TFrameDirection direction)
{
    return direction == TFrameDirection::Sent ? QStringLiteral("TX") : QStringLiteral("RX");
}

QString StatusText(TFrameStatus status)
{
    switch (status) {
    case TFrameStatus::Ok: return QStringLiteral("ok");
    case TFrameStatus::WrongLength: return QStringLiteral("wrong length");
    case TFrameStatus::Unregistered: return QStringLiteral("unregistered");
    case TFrameStatus::Overflowed: return QStringLiteral("overflowed");
    case TFrameStatus::Discarded: return QStringLiteral("discarded");
    }
    return {};
}

QString IdText(std::uint8_t id)
{
    return QString::fromLatin1(MessageIdText(id));
}

QByteArray CsvHeader()
{
    return "time,direction,id,length,hex,summary\r\n";
}

QByteArray CsvRecord(const TFrameRecord& record)
{
    const std::uint8_t id = record.kind == TFrameKind::Frame ? FrameMessageId(record.bytes) : 0;
    return CsvLine({record.time, DirectionText(record.direction), record.kind == TFrameKind::Frame ? IdText(id) : QString(),
                    QString::number(record.bytes.size()), QString::fromLatin1(SpacedHex(record.bytes)), record.summary})
        .toUtf8();
}

QJsonObject FrameJson(const TFrameRecord& record)
{
    QJsonObject object{
        {"sequence", static_cast<qint64>(record.sequence)},
        {"time", record.time},
        {"direction", DirectionText(record.direction)},
        {"kind", KindText(record.kind)},
        {"state", StatusText(record.status)},
        {"length", static_cast<qint64>(record.bytes.size())},
        {"hex", QString::fromLatin1(SpacedHex(record.bytes))},
        {"summary", record.summary},
    };
    if (record.answers)
        object.insert("answers", static_cast<qint64>(*record.answers));
    if (record.latencyMs)
        object.insert("latency_ms", *record.latencyMs);
    if (record.kind != TFrameKind::Frame)
        return object;
    const std::uint8_t id = FrameMessageId(record.bytes);
    object.insert("id", IdText(id));
    object.insert("name", QString::fromLatin1(MessageName(id)));
    QJsonArray fields;
    for (const TDecodedField& field : DecodeFields(SideOf(record.direction), record.bytes))
        fields.append(QJsonObject{
            {"offset", field.offset},
            {"length", field.length},
            {"name", QString::fromStdString(field.name)},
            {"hex", QString::fromLatin1(SpacedHex(record.bytes.subspan(static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.length))))},
            {"value", QString::fromStdString(field.value)},
        });
    object.insert("fields", fields);
    return object;
}

QByteArray JsonLine(const TFrameRecord& record)
{
    return QJsonDocument(FrameJson(record)).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace r7730
