#pragma once
// The survey's table of access points: every access point of the session's scans, merged by
// SSID and channel (survey/survey_session.h), as a model, and the sorting and filtering view of
// it.
//
// Numbers sort as numbers (-45 above -80 when the strongest come first) and a missing value
// sorts last whichever way the column is sorted. The filter keeps the rows whose SSID holds
// the filter text (any case) and whose last RSSI reaches the minimum; with a minimum set, a row
// without an RSSI goes. The access point the unit joined is written in bold.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <optional>

#include "survey/survey_session.h"

namespace r7730 {

class TSurveyAccessPointModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum TColumn { Ssid, Channel, Rssi, Minimum, Average, Maximum, Quality, Auth, TimesSeen, SecondsAgo, ColumnCount };
    // The value a column sorts by: a number, or the text; an invalid value when missing.
    static constexpr int kSortRole = Qt::UserRole;

    explicit TSurveyAccessPointModel(const TSurveySession& session, QObject* parent = nullptr);

    // The session has changed: rows added, values updated. nowMsecs: the time "seconds since
    // last seen" counts to.
    void Refresh(qint64 nowMsecs);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVariant Value(const TAccessPointSummary& point, int column) const;

    const TSurveySession& session_;
    int rows_ = 0;
    qint64 nowMsecs_ = 0;
};

class TSurveyAccessPointFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit TSurveyAccessPointFilter(QObject* parent = nullptr);
    void SetSsidText(const QString& text);
    // Absent: every RSSI, a missing one too.
    void SetMinimumRssi(std::optional<int> minimum);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString ssidText_;
    std::optional<int> minimumRssi_;
};

} // namespace r7730
