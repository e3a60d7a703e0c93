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

// One series in one pixel column.
struct TColumn {
    int x = 0;
    int lowest = 0, highest = 0, last = 0;
};

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

void TStripChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QRect plot = rect().adjusted(kLeftMargin, kTopMargin, -kRightMargin, -kBottomMargin);
    if (plot.width() < 2 || plot.height() < 2)
        return;
    const QColor text = palette().color(QPalette::Text);
    const QColor grid = palette().color(QPalette::Mid);
    QFont small = font();
    small.setPixelSize(11);
    painter.setFont(small);

    // The value grid and the axes' numbers of the first series on each side.
    const TChartSeries* left = nullptr;
    const TChartSeries* right = nullptr;
    for (const TChartSeries& series : series_) {
        const TChartSeries*& axis = series.rightAxis ? right : left;
        if (!axis)
            axis = &series;
    }
    for (int tick = 0; tick <= kValueTicks; ++tick) {
        const int y = plot.bottom() - (plot.height() - 1) * tick / kValueTicks;
        painter.setPen(QPen(grid, 1, tick == 0 ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(text);
        const QRect label(0, y - 8, kLeftMargin - 6, 16);
        if (left)
            painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(left->low + (left->high - left->low) * tick / kValueTicks));
        if (right)
            painter.drawText(QRect(plot.right() + 6, y - 8, kRightMargin - 6, 16), Qt::AlignLeft | Qt::AlignVCenter,
                             QString::number(right->low + (right->high - right->low) * tick / kValueTicks));
    }
    // The legend above the plot, each series in its colour with its unit.
    int legendX = plot.left();
    for (const TChartSeries& series : series_) {
        const QString name = QStringLiteral("%1 (%2)").arg(series.name, series.unit);
        painter.fillRect(QRect(legendX, 7, 14, 4), series.colour);
        painter.setPen(text);
        painter.drawText(QRect(legendX + 18, 0, 200, kTopMargin - 4), Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX += 18 + painter.fontMetrics().horizontalAdvance(name) + 16;
    }

    pointsInSpan_ = 0;
    columnsDrawn_ = 0;
    const qsizetype count = data_ ? data_->PointCount() : 0;
    // The right edge: the newest point, or a marker dropped after it.
    qint64 end = count ? data_->TimeAt(count - 1) : QDateTime::currentMSecsSinceEpoch();
    for (const TChartMarker& marker : markers_)
        end = std::max(end, marker.msecs);
    const qint64 start = end - spanMs_;
    auto xOf = [&](qint64 msecs) {
        return plot.left() + static_cast<int>((msecs - start) * (plot.width() - 1) / spanMs_);
    };

    // The time axis: the clock at five places.
    painter.setPen(text);
    for (int tick = 0; tick <= 4; ++tick) {
        const qint64 msecs = start + spanMs_ * tick / 4;
        const int x = xOf(msecs);
        painter.setPen(QPen(grid, 1, Qt::DotLine));
        if (tick > 0 && tick < 4)
            painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(text);
        const Qt::Alignment align = tick == 0 ? Qt::AlignLeft : tick == 4 ? Qt::AlignRight : Qt::AlignHCenter;
        const int width = 70;
        const int labelLeft = tick == 0 ? x : tick == 4 ? x - width : x - width / 2;
        painter.drawText(QRect(labelLeft, plot.bottom() + 4, width, kBottomMargin - 4), align | Qt::AlignTop,
                         QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("HH:mm:ss")));
    }

    const qsizetype first = count ? FirstAtOrAfter(*data_, start) : 0;
    pointsInSpan_ = count - first;
    for (std::size_t s = 0; s < series_.size(); ++s) {
        const TChartSeries& series = series_[s];
        auto yOf = [&](int value) {
            const int clamped = std::clamp(value, std::min(series.low, series.high), std::max(series.low, series.high));
            return plot.bottom() - (plot.height() - 1) * (clamped - series.low) / std::max(1, series.high - series.low);
        };
        // Unbroken runs of column points, and the spread of each column that holds several values.
        std::vector<std::vector<QPoint>> runs(1);
        std::vector<QLine> spreads;
        int columns = 0;
        std::optional<TColumn> column;
        auto flush = [&] {
            if (!column)
                return;
            ++columns;
            if (column->lowest != column->highest)
                spreads.emplace_back(column->x, yOf(column->lowest), column->x, yOf(column->highest));
            runs.back().emplace_back(column->x, yOf(column->last));
            column.reset();
        };
        for (qsizetype i = first; i < count; ++i) {
            const std::optional<int> value = data_->ValueAt(static_cast<int>(s), i);
            const int x = xOf(data_->TimeAt(i));
            if (column && column->x != x)
                flush();
            if (!value) {
                flush();
                if (!runs.back().empty())
                    runs.emplace_back(); // a gap
                continue;
            }
            if (!column)
                column = TColumn{x, *value, *value, *value};
            column->lowest = std::min(column->lowest, *value);
            column->highest = std::max(column->highest, *value);
            column->last = *value;
        }
        flush();
        columnsDrawn_ = std::max(columnsDrawn_, columns);
        // Two pixels wide without antialiasing: a pen the raster engine draws fast.
        painter.setPen(QPen(series.colour, 2));
        for (const std::vector<QPoint>& run : runs) {
            if (run.size() == 1)
                painter.drawEllipse(run.front(), 2, 2); // a lone point draws as a dot, not as nothing
            else if (run.size() > 1)
                painter.drawPolyline(run.data(), static_cast<int>(run.size()));
        }
        painter.setPen(QPen(series.colour, 1));
        painter.drawLines(spreads.data(), static_cast<int>(spreads.size()));
    }

    // Markers: a dashed line where each was dropped, its label beside the top.
    for (const TChartMarker& marker : markers_) {
        if (marker.msecs < start || marker.msecs > end)
            continue;
        const int x = xOf(marker.msecs);
        painter.setPen(QPen(text, 1, Qt::DashLine));
        painter.drawLine(x, plot.top(), x, plot.bottom());
        painter.setPen(text);
        painter.drawText(QRect(x + 3, plot.top() + 1, 120, 14), Qt::AlignLeft | Qt::AlignTop, marker.label);
    }
    painter.setPen(grid);
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
}

} // namespace r7730
