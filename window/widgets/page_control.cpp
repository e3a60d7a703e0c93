#include "window/widgets/page_control.h"

#include <QPainter>
#include <QPaintEvent>

#include "window/widgets/fonts.h"

namespace r7730 {
namespace {

// Room around the caption: the selected tab writes it 8 pixels in, 3 pixels down.
constexpr int kCaptionLeft = 8;
constexpr int kCaptionTop = 3;
constexpr int kCaptionPx = 19;

} // namespace

TOwnerDrawnTabBar::TOwnerDrawnTabBar(QWidget* parent) : QTabBar(parent)
{
    // The captions' face from the start: the bar measures its tabs as each is added, and a face
    // given afterwards would have the window's default face loaded for that alone.
    setFont(UiFont(kCaptionPx, true));
    setDrawBase(false);
    setExpanding(false);
}

void TOwnerDrawnTabBar::SetTabPainter(TTabPainter painter)
{
    painter_ = std::move(painter);
    update();
}

QSize TOwnerDrawnTabBar::tabSizeHint(int index) const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(tabText(index)) + 2 * kCaptionLeft, metrics.height() + 2 * kCaptionTop + 2};
}

void TOwnerDrawnTabBar::paintEvent(QPaintEvent* event)
{
    if (!painter_) {
        QTabBar::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(font());
    for (int index = 0; index < count(); ++index) {
        const QRect rect = tabRect(index);
        if (!rect.intersects(event->rect()))
            continue;
        painter.save();
        painter_(painter, index, rect, index == currentIndex());
        painter.restore();
    }
}

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), tabBar_(new TOwnerDrawnTabBar(this))
{
    setTabBar(tabBar_);
}

void TPageControl::SetTabPainter(TTabPainter painter)
{
    tabBar_->SetTabPainter(std::move(painter));
}

} // namespace r7730
