#include "window/widgets/strip_chart.h"

#include <QDateTime>
#include <QPainter>
#include <algorithm>

namespace r7730 {
namespace {

constexpr int kLeftMargin = 48, kRightMargin = 44, kTopMargin = 22, kBottomMargin = 22;
constexpr int kValueTicks = 4; // grid lines between the bottom and the top

// The first point at or after msecs.
qsizetype FirstAtOrAfter(const IStripChartData& data, qint64 msecs)
{
    qsizetype low = 0, high = data.PointCount();
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (data.TimeAt(middle) < msecs)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The pens of the frame around the plot: its texts and its grid.
struct TChartInk {
    QColor text;
    QColor grid;
};

// The value grid, and the axis numbers of the first series on each side.
void DrawValueGrid(QPainter& painter, const QRect& plot, const std::vector<TChartSeries>& allSeries, const TChartInk& ink)
{
    const TChartSeries* left = nullptr;
    const TChartSeries* right = nullptr;
    for (const TChartSeries& series : allSeries) {
        const TChartSeries*& axis = series.rightAxis ? right : left;
        if (!axis)
            axis = &series;
    }
    for (int tick = 0; tick <= kValueTicks; ++tick) {
        const int y = plot.bottom() - (plot.height() - 1) * tick / kValueTicks;
        painter.setPen(QPen(ink.grid, 1, tick == 0 ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(ink.text);
        const QRect label(0, y - 8, kLeftMargin - 6, 16);
        if (left)
            painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(left->low + (left->high - left->low) * tick / kValueTicks));
        if (right)
            painter.drawText(QRect(plot.right() + 6, y - 8, kRightMargin - 6, 16), Qt::AlignLeft | Qt::AlignVCenter,
                             QString::number(right->low + (right->high - right->low) * tick / kValueTicks));
    }
}

// The legend above the plot, each series in its colour with its unit.
void DrawLegend(QPainter& painter, const QRect& plot, const std::vector<TChartSeries>& allSeries, const TChartInk& ink)
{
    int legendX = plot.left();
    for (const TChartSeries& series : allSeries) {
        const QString name = QStringLiteral("%1 (%2)").arg(series.name, series.unit);
        painter.fillRect(QRect(legendX, 7, 14, 4), series.colour);
        painter.setPen(ink.text);
        painter.drawText(QRect(legendX + 18, 0, 200, kTopMargin - 4), Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX += 18 + painter.fontMetrics().horizontalAdvance(name) + 16;
    }
}

// The time axis: the clock at five places, dotted lines at the three inside.
void DrawTimeAxis(QPainter& painter, const QRect& plot, const TTimeColumns& columns, const TChartInk& ink)
{
    painter.setPen(ink.text);
    for (int tick = 0; tick <= 4; ++tick) {
        const qint64 msecs = columns.start + columns.spanMs * tick / 4;
        const int x = columns.ColumnOf(msecs);
        painter.setPen(QPen(ink.grid, 1, Qt::DotLine));
        if (tick > 0 && tick < 4)
            painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(ink.text);
        const Qt::Alignment align = tick == 0 ? Qt::AlignLeft : tick == 4 ? Qt::AlignRight : Qt::AlignHCenter;
        const int width = 70;
        const int labelLeft = tick == 0 ? x : tick == 4 ? x - width : x - width / 2;
        painter.drawText(QRect(labelLeft, plot.bottom() + 4, width, kBottomMargin - 4), align | Qt::AlignTop,
                         QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("HH:mm:ss")));
    }
}

// One series' runs: each column at its last value, joined along a run, with a thin line over
// the spread of a column that holds several values.
void DrawSeriesRuns(QPainter& painter, const QRect& plot, const TChartSeries& series, const std::vector<TChartRun>& runs)
{
    auto yOf = [&](int value) {
        const int clamped = std::clamp(value, std::min(series.low, series.high), std::max(series.low, series.high));
        return plot.bottom() - (plot.height() - 1) * (clamped - series.low) / std::max(1, series.high - series.low);
    };
    std::vector<QLine> spreads;
    // Two pixels wide without antialiasing: a pen the raster engine draws fast.
    painter.setPen(QPen(series.colour, 2));
    for (const TChartRun& run : runs) {
        std::vector<QPoint> points;
        points.reserve(run.size());
        for (const TChartColumn& column : run) {
            points.emplace_back(column.x, yOf(column.last));
            if (column.lowest != column.highest)
                spreads.emplace_back(column.x, yOf(column.lowest), column.x, yOf(column.highest));
        }
        if (points.size() == 1)
            painter.drawEllipse(points.front(), 2, 2); // a lone point draws as a dot, not as nothing
        else
            painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
    painter.setPen(QPen(series.colour, 1));
    painter.drawLines(spreads.data(), static_cast<int>(spreads.size()));
}

// Markers: a dashed line where each was dropped inside the span, its label beside the top.
void DrawMarkers(QPainter& painter, const QRect& plot, const std::vector<TChartMarker>& markers,
                 const TTimeColumns& columns, qint64 end, const TChartInk& ink)
{
    for (const TChartMarker& marker : markers) {
        if (marker.msecs < columns.start || marker.msecs > end)
            continue;
        const int x = columns.ColumnOf(marker.msecs);
        painter.setPen(QPen(ink.text, 1, Qt::DashLine));
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(ink.text);
        painter.drawText(QRect(x + 3, plot.top() + 1, 120, 14), Qt::AlignLeft | Qt::AlignTop, marker.label);
    }
}

} // namespace

TStripChart::TStripChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 160);
}

void TStripChart::SetData(const IStripChartData* data)
{
    data_ = data;
    update();
}

void TStripChart::SetSeries(std::vector<TChartSeries> series)
{
    series_ = std::move(series);
    update();
}

void TStripChart::SetMarkers(std::vector<TChartMarker> markers)
{
    markers_ = std::move(markers);
    update();
}

void TStripChart::SetSpanMs(qint64 spanMs)
{
    spanMs_ = std::max<qint64>(spanMs, 1000);
    update();
}

std::vector<TChartRun> ReduceToColumns(const IStripChartData& data, int series, qsizetype first,
                                       const TTimeColumns& columns)
{
    std::vector<TChartRun> runs(1);
    std::optional<TChartColumn> column;
    auto flush = [&] {
        if (column)
            runs.back().push_back(*column);
        column.reset();
    };
    const qsizetype count = data.PointCount();
    for (qsizetype i = first; i < count; ++i) {
        const std::optional<int> value = data.ValueAt(series, i);
        const int x = columns.ColumnOf(data.TimeAt(i));
        if (column && column->x != x)
            flush();
        if (!value) {
            flush();
            if (!runs.back().empty())
                runs.emplace_back(); // a gap
            continue;
        }
        if (!column)
            column = TChartColumn{x, *value, *value, *value};
        column->lowest = std::min(column->lowest, *value);
        column->highest = std::max(column->highest, *value);
        column->last = *value;
    }
    flush();
    if (runs.back().empty())
        runs.pop_back();
    return runs;
}

void TStripChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRect plot = rect().adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
    if (plot.width() < 2 || plot.height() < 2)
        return;
    const TChartInk ink{palette().color(QPalette::Text), palette().color(QPalette::Mid)};
    QFont small = font();
    small.setPixelSize(11);
    painter.setFont(small);

    DrawValueGrid(painter, plot, series_, ink);
    DrawLegend(painter, plot, series_, ink);

    const qsizetype count = data_ ? data_->PointCount() : 0;
    // The right edge: the newest point, or a marker dropped after it.
    qint64 end = count ? data_->TimeAt(count - 1) : QDateTime::currentMSecsSinceEpoch();
    for (const TChartMarker& marker : markers_)
        end = std::max(end, marker.msecs);
    const TTimeColumns columns{end - spanMs_, spanMs_, plot.left(), plot.width()};
    DrawTimeAxis(painter, plot, columns, ink);

    const qsizetype first = count ? FirstAtOrAfter(*data_, columns.start) : 0;
    pointsInSpan_ = count - first;
    columnsDrawn_ = 0;
    for (std::size_t s = 0; s < series_.size(); ++s) {
        const std::vector<TChartRun> runs = data_ ? ReduceToColumns(*data_, static_cast<int>(s), first, columns)
                                                  : std::vector<TChartRun>{};
        int drawn = 0;
        for (const TChartRun& run : runs)
            drawn += static_cast<int>(run.size());
        columnsDrawn_ = std::max(columnsDrawn_, drawn);
        DrawSeriesRuns(painter, plot, series_[s], runs);
    }

    DrawMarkers(painter, plot, markers_, columns, end, ink);
    painter.setPen(ink.grid);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
}

} // namespace r7730
