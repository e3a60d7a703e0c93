#include "window/widgets/channel_bars.h"

#include <QPainter>
#include <algorithm>

namespace r7730 {
namespace {

constexpr int kTop = 22, kBottom = 20, kSide = 8;

// Green for a strong access point (a crowded neighbour), through yellow to grey for a faint one.
QColor StrengthColour(std::optional<int> rssi)
{
    if (!rssi)
        return QColor(160, 160, 160);
    const double strength = std::clamp((*rssi + 95) / 50.0, 0.0, 1.0); // -95 faint, -45 strong
    return QColor::fromHsvF(0.33 * strength, 0.75, 0.85);
}

} // namespace

TChannelBars::TChannelBars(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(260, 120);
}

void TChannelBars::SetBars(std::vector<TChannelBar> bars, int quietest)
{
    bars_ = std::move(bars);
    quietest_ = quietest;
    update();
}

void TChannelBars::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QColor text = palette().color(QPalette::Text);
    QFont small = font();
    small.setPixelSize(11);
    painter.setFont(small);
    painter.setPen(text);
    painter.drawText(rect().adjusted(kSide, 2, -kSide, 0), Qt::AlignLeft | Qt::AlignTop,
                     quietest_ ? QStringLiteral("Quietest of 1, 6, 11: channel %1").arg(quietest_)
                               : QStringLiteral("No scan yet"));
    if (bars_.empty())
        return;
    const QRect area = rect().adjusted(kSide, kTop, -kSide, -kBottom);
    int most = 1;
    for (const TChannelBar& bar : bars_)
        most = std::max({most, bar.accessPoints, bar.withinReach});
    const int slot = area.width() / static_cast<int>(bars_.size());
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        const TChannelBar& bar = bars_[i];
        const int left = area.left() + slot * static_cast<int>(i);
        const QRect cell(left + 2, area.top(), std::max(slot - 4, 2), area.height());
        auto heightOf = [&](int count) { return (cell.height() - 14) * count / most; };
        const int reach = heightOf(bar.withinReach);
        painter.fillRect(QRect(cell.left(), cell.bottom() - reach + 1, cell.width(), reach), QColor(210, 220, 235));
        const int own = heightOf(bar.accessPoints);
        const QRect ownBar(cell.left() + cell.width() / 4, cell.bottom() - own + 1, cell.width() / 2, own);
        painter.fillRect(ownBar, StrengthColour(bar.strongest));
        painter.setPen(text);
        if (bar.accessPoints > 0)
            painter.drawText(QRect(cell.left() - 4, ownBar.top() - 14, cell.width() + 8, 13), Qt::AlignHCenter | Qt::AlignBottom,
                             QString::number(bar.accessPoints));
        if (bar.channel == quietest_) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
            painter.drawRect(cell.adjusted(-1, 0, 0, 0));
        }
        painter.setPen(text);
        QFont label = small;
        label.setBold(bar.channel == quietest_);
        painter.setFont(label);
        painter.drawText(QRect(cell.left() - 4, area.bottom() + 3, cell.width() + 8, kBottom - 3), Qt::AlignHCenter | Qt::AlignTop,
                         QString::number(bar.channel));
        painter.setFont(small);
    }
}

} // namespace r7730
