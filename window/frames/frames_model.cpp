#include "window/frames/frames_model.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>

#include "device/frame_export.h"
#include "protocol/frame_anatomy.h"

namespace r7730 {

QString MessageText(const TStoredFrame& frame)
{
    if (frame.kind != TFrameKind::Frame)
        return QStringLiteral("-");
    const std::uint8_t id = frame.content->id;
    QString text = IdText(id);
    if (id > 0x20 && id < 0x7F)
        text += QLatin1Char(' ') + QChar(id);
    const std::string_view name = MessageName(id);
    if (!name.empty())
        text += QLatin1Char(' ') + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return text;
}

QString TimeText(const TStoredFrame& frame)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(frame.wallClock.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"));
}

TFramesModel::TFramesModel(const TFrameStore& store, QObject* parent) : QAbstractTableModel(parent), store_(store)
{
    letGo_ = store_.LetGo();
    rows_ = static_cast<int>(store_.Size());
}

void TFramesModel::FollowEviction()
{
    const std::uint64_t letGo = store_.LetGo();
    if (letGo <= letGo_)
        return;
    const int gone = static_cast<int>(std::min<std::uint64_t>(letGo - letGo_, static_cast<std::uint64_t>(rows_)));
    if (gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        rows_ -= gone;
        letGo_ += static_cast<std::uint64_t>(gone);
        endRemoveRows();
    }
    // Frames let go before they ever had a row only move the numbering on.
    letGo_ = letGo;
}

void TFramesModel::Sync()
{
    FollowEviction();
    const int rows = static_cast<int>(store_.Size());
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }
}

const TStoredFrame* TFramesModel::Frame(int row) const
{
    if (row < 0 || row >= rows_)
        return nullptr;
    const std::optional<std::size_t> stored = store_.RowOf(SequenceAt(row));
    return stored ? &store_.At(*stored) : nullptr;
}

std::optional<int> TFramesModel::RowOf(std::uint64_t sequence) const
{
    if (sequence <= letGo_ || sequence > letGo_ + static_cast<std::uint64_t>(rows_))
        return std::nullopt;
    return static_cast<int>(sequence - letGo_ - 1);
}

int TFramesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int TFramesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TFramesModel::data(const QModelIndex& index, int role) const
{
    const TStoredFrame* stored = index.isValid() ? Frame(index.row()) : nullptr;
    if (!stored)
        return {};
    const TStoredFrame& frame = *stored;
    if (role == Qt::ForegroundRole)
        return IsError(frame.content->status) ? QVariant(QBrush(QColor(0xC0, 0x00, 0x00))) : QVariant();
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == ColSequence || index.column() == ColLatency || index.column() == ColLength;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case ColSequence: return QString::number(frame.sequence);
    case ColTime: return TimeText(frame);
    case ColLatency:
        return frame.latency ? QStringLiteral("%1 ms").arg(static_cast<double>(frame.latency->count()) / 1000.0, 0, 'f', 1) : QString();
    case ColDirection: return DirectionText(frame.direction);
    case ColMessage: return MessageText(frame);
    case ColLength: return QString::number(frame.content->bytes.size());
    case ColSummary: return frame.content->summary;
    default: return {};
    }
}

QVariant TFramesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const titles[ColumnCount] = {"#", "Time", "Latency", "Dir", "Message", "Length", "Summary"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

} // namespace r7730
