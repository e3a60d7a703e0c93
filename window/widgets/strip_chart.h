#pragma once
// A strip chart: values over time, newest at the right edge, for a chosen span of time, with
// up to two value axes (left and right) and labelled markers.
//
// Principles of operation. The chart owns no data: it reads points through IStripChartData,
// in time order, when it paints. It finds the first point of the span by bisection and draws
// at most one point per pixel column and series: the points that fall in a column are drawn
// as a line from their lowest to their highest value, and the columns are joined by the
// column's last value, so an hour of readings draws with as many lines as a minute. A missing
// value breaks the line.
#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

namespace r7730 {

class IStripChartData {
public:
    virtual ~IStripChartData() = default;
    virtual qsizetype PointCount() const = 0;
    // Milliseconds, never decreasing with the index.
    virtual qint64 TimeAt(qsizetype index) const = 0;
    // The value of a series at a point; absent: none (the line breaks).
    virtual std::optional<int> ValueAt(int series, qsizetype index) const = 0;
};

struct TChartSeries {
    QString name;
    QColor colour;
    int low = 0;       // the value at the bottom of the plot
    int high = 100;    // at the top
    bool rightAxis = false;
    QString unit;      // "dBm", "%"
};

struct TChartMarker {
    qint64 msecs = 0;
    QString label;
};

// Where a moment falls across the plot: the pixel column of msecs when the span of spanMs
// starting at start is laid over width columns from left.
struct TTimeColumns {
    qint64 start = 0;
    qint64 spanMs = 1;
    int left = 0;
    int width = 1;
    int ColumnOf(qint64 msecs) const { return left + static_cast<int>((msecs - start) * (width - 1) / spanMs); }
};

// One series in one pixel column: the lowest, highest and last of the values that fall there.
struct TChartColumn {
    int x = 0;
    int lowest = 0;
    int highest = 0;
    int last = 0;
    bool operator==(const TChartColumn&) const = default;
};
// Columns joined by a line; a missing value ends a run.
using TChartRun = std::vector<TChartColumn>;

// The readings of one series from the point `first` on, reduced to pixel columns: the unbroken
// runs in time order, none of them empty.
std::vector<TChartRun> ReduceToColumns(const IStripChartData& data, int series, qsizetype first,
                                       const TTimeColumns& columns);

class TStripChart : public QWidget {
    Q_OBJECT

public:
    explicit TStripChart(QWidget* parent = nullptr);

    // The data stays the caller's; null draws an empty chart.
    void SetData(const IStripChartData* data);
    void SetSeries(std::vector<TChartSeries> series);
    void SetMarkers(std::vector<TChartMarker> markers);
    // The span of time shown, ending at the newest point.
    void SetSpanMs(qint64 spanMs);
    qint64 SpanMs() const { return spanMs_; }
    // The data changed: the chart repaints.
    void DataChanged() { update(); }

    // What the last paint drew, for the figures and tests: the points it read in its span and
    // the pixel columns it drew them in.
    qsizetype PointsInSpan() const { return pointsInSpan_; }
    int ColumnsDrawn() const { return columnsDrawn_; }

    QSize sizeHint() const override { return {720, 260}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const IStripChartData* data_ = nullptr;
    std::vector<TChartSeries> series_;
    std::vector<TChartMarker> markers_;
    qint64 spanMs_ = 60000;
    qsizetype pointsInSpan_ = 0;
    int columnsDrawn_ = 0;
};

} // namespace r7730
