#include "window/survey/survey_access_points.h"

#include <QFont>

namespace r7730 {
namespace {

QVariant Number(std::optional<int> value)
{
    return value ? QVariant(*value) : QVariant();
}

QVariant Number(std::optional<double> value)
{
    return value ? QVariant(*value) : QVariant();
}

} // namespace

TSurveyAccessPointModel::TSurveyAccessPointModel(const TSurveySession& session, QObject* parent)
    : QAbstractTableModel(parent), session_(session)
{
}

void TSurveyAccessPointModel::Refresh(qint64 nowMsecs)
{
    nowMsecs_ = nowMsecs;
    const int rows = static_cast<int>(session_.AccessPoints().size());
    if (rows < rows_) { // a new session
        beginResetModel();
        rows_ = rows;
        endResetModel();
        return;
    }
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }
    if (rows_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, ColumnCount - 1));
}

int TSurveyAccessPointModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int TSurveyAccessPointModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TSurveyAccessPointModel::Value(const TAccessPointSummary& point, int column) const
{
    switch (column) {
    case Ssid: return point.ssid;
    case Channel: return point.channel > 0 ? QVariant(point.channel) : QVariant(point.channelText);
    case Rssi: return Number(point.lastRssi);
    case Minimum: return Number(point.rssi.Minimum());
    case Average: return Number(point.rssi.Mean());
    case Maximum: return Number(point.rssi.Maximum());
    case Quality: return Number(point.lastQuality);
    case Auth: return point.auth;
    case TimesSeen: return point.timesSeen;
    case SecondsAgo: return std::max<qint64>(0, (nowMsecs_ - point.lastSeenMsecs) / 1000);
    }
    return {};
}

QVariant TSurveyAccessPointModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_)
        return {};
    const TAccessPointSummary& point = session_.AccessPoints()[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case kSortRole:
        return Value(point, column);
    case Qt::DisplayRole: {
        const QVariant value = Value(point, column);
        if (!value.isValid())
            return QStringLiteral("-");
        if (column == Average)
            return QString::number(value.toDouble(), 'f', 1);
        if (column == Quality)
            return QStringLiteral("%1%").arg(value.toInt());
        return value.toString();
    }
    case Qt::FontRole:
        if (!point.ssid.isEmpty() && point.ssid == session_.JoinedSsid()) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::TextAlignmentRole:
        return column == Ssid || column == Auth ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant TSurveyAccessPointModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const kTitles[ColumnCount] = {"SSID", "CH",      "RSSI", "Min",  "Avg",
                                                     "Max",  "Quality", "Auth", "Seen", "Last seen (s)"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(kTitles[section]);
}

TSurveyAccessPointFilter::TSurveyAccessPointFilter(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(TSurveyAccessPointModel::kSortRole);
    setDynamicSortFilter(true);
}

void TSurveyAccessPointFilter::SetSsidText(const QString& text)
{
    ssidText_ = text;
    invalidateFilter();
}

void TSurveyAccessPointFilter::SetMinimumRssi(std::optional<int> minimum)
{
    minimumRssi_ = minimum;
    invalidateFilter();
}

bool TSurveyAccessPointFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    auto value = [&](int column) {
        return sourceModel()->index(sourceRow, column, sourceParent).data(TSurveyAccessPointModel::kSortRole);
    };
    if (!ssidText_.isEmpty() && !value(TSurveyAccessPointModel::Ssid).toString().contains(ssidText_, Qt::CaseInsensitive))
        return false;
    if (!minimumRssi_)
        return true;
    const QVariant rssi = value(TSurveyAccessPointModel::Rssi);
    return rssi.isValid() && rssi.toInt() >= *minimumRssi_;
}

bool TSurveyAccessPointFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const QVariant a = left.data(sortRole());
    const QVariant b = right.data(sortRole());
    // Missing last in either order: the view reverses what this says when sorting down.
    const bool down = sortOrder() == Qt::DescendingOrder;
    if (!a.isValid() || !b.isValid())
        return a.isValid() != b.isValid() && (a.isValid() != down);
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return QString::localeAwareCompare(a.toString(), b.toString()) < 0;
    return a.toDouble() < b.toDouble();
}

} // namespace r7730
