#pragma once
// Frames written out for other programs, wherever they came from (the frame store, a daily
// log file read back):
//   CSV, RFC 4180: a header line, then per frame time, direction, ID, length, hex, summary;
//     one line per record as shell/csv_line.h writes it.
//   JSON Lines: one object per frame with every field of its anatomy.
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

#include "device/frame_store.h"

namespace r7730 {

struct TFrameRecord {
    std::uint64_t sequence = 0;
    QString time; // ISO 8601; local time with its offset, milliseconds when known
    TFrameDirection direction = TFrameDirection::Sent;
    TFrameKind kind = TFrameKind::Frame;
    TFrameStatus status = TFrameStatus::Ok;
    std::span<const std::uint8_t> bytes;
    QString summary;
    std::optional<std::uint64_t> answers;
    std::optional<double> latencyMs;
};

// A stored frame as a record.
TFrameRecord RecordOf(const TStoredFrame& frame);
// "2021-03-05T14:03:27.123+09:00".
QString IsoTime(std::chrono::system_clock::time_point time);

QString DirectionText(TFrameDirection direction); // "TX", "RX"
QString StatusText(TFrameStatus status);          // "ok", "wrong length", ...
QString IdText(std::uint8_t id);                  // "0x41"

QByteArray CsvHeader();
QByteArray CsvRecord(const TFrameRecord& record);
// Every field; the line of JSON Lines is its compact form.
QJsonObject FrameJson(const TFrameRecord& record);
QByteArray JsonLine(const TFrameRecord& record);

} // namespace r7730
