#include "window/widgets/window_style.h"

#include <QGroupBox>
#include <QImageReader>
#include <QMargins>
#include <QStyleOption>
#include <qdrawutil.h>

namespace r7730 {
namespace {

const QString kFusionGroupBoxFrame = QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");
// The frame image's corners and edges are kept at their size; the middle is stretched.
const QMargins kFrameImageBorder(6, 6, 6, 6);
// Fusion's gap between the group box's top (or its title) and the frame.
constexpr int kFrameTopGap = 3;

bool IsCheckedQtVersion()
{
    return QLatin1String(qVersion()).startsWith(QLatin1String("6.4."));
}

QPixmap ReadFusionGroupBoxFrame(const QStyle* base)
{
    if (base->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0 || !IsCheckedQtVersion())
        return {};
    QImageReader reader(kFusionGroupBoxFrame, "png");
    reader.setAutoDetectImageFormat(false); // the format is known: no plugin is asked about it
    return QPixmap::fromImage(reader.read());
}

} // namespace

TWindowStyle::TWindowStyle(QStyle* base) : QProxyStyle(base), groupBoxFrame_(ReadFusionGroupBoxFrame(baseStyle())) {}

void TWindowStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    if (element != PE_FrameGroupBox || groupBoxFrame_.isNull()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Below the title line (an untitled, uncheckable box has none), as Fusion places it.
    const auto* box = qobject_cast<const QGroupBox*>(widget);
    const bool titleLine = !box || box->isCheckable() || !box->title().isEmpty();
    const int top = kFrameTopGap + (titleLine ? qMax(pixelMetric(PM_ExclusiveIndicatorHeight, option, widget),
                                                     option->fontMetrics.height())
                                              : 0);
    qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0), kFrameImageBorder, groupBoxFrame_);
}

} // namespace r7730
