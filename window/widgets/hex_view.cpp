#include "window/widgets/hex_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "window/widgets/fonts.h"

namespace r7730 {
namespace {

constexpr int kOffsetColumns = 6; // "0000  "
constexpr int kMargin = 4;

} // namespace

THexView::THexView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFont(LogFont(12));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int THexView::RowHeight() const
{
    return fontMetrics().height();
}

int THexView::CharWidth() const
{
    return fontMetrics().horizontalAdvance(QLatin1Char('0'));
}

int THexView::HexColumn(int indexInRow)
{
    return kOffsetColumns + 3 * indexInRow + (indexInRow >= 8 ? 1 : 0);
}

int THexView::TextColumn(int indexInRow)
{
    return HexColumn(kPerRow) + 1 + indexInRow;
}

QSize THexView::sizeHint() const
{
    return {2 * kMargin + CharWidth() * TextColumn(kPerRow) + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
            RowHeight() * 8 + 2 * kMargin};
}

void THexView::SetBytes(std::vector<std::uint8_t> bytes)
{
    bytes_ = std::move(bytes);
    highlightOffset_ = highlightLength_ = 0;
    UpdateScrollRange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void THexView::SetHighlight(int offset, int length)
{
    highlightOffset_ = offset;
    highlightLength_ = std::max(0, length);
    if (highlightLength_ > 0) {
        const int firstRow = offset / kPerRow;
        const int lastRow = (offset + highlightLength_ - 1) / kPerRow;
        const int visibleRows = std::max(1, (viewport()->height() - kMargin) / RowHeight());
        QScrollBar* bar = verticalScrollBar();
        if (firstRow < bar->value())
            bar->setValue(firstRow);
        else if (lastRow >= bar->value() + visibleRows)
            bar->setValue(std::min(firstRow, lastRow - visibleRows + 1));
    }
    viewport()->update();
}

void THexView::UpdateScrollRange()
{
    const int rows = static_cast<int>((bytes_.size() + kPerRow - 1) / kPerRow);
    const int visibleRows = std::max(1, (viewport()->height() - kMargin) / RowHeight());
    verticalScrollBar()->setRange(0, std::max(0, rows - visibleRows));
    verticalScrollBar()->setPageStep(visibleRows);
    const int width = 2 * kMargin + CharWidth() * TextColumn(kPerRow);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void THexView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

QRect THexView::ByteRect(int offset) const
{
    const int row = offset / kPerRow - verticalScrollBar()->value();
    const int x = kMargin + CharWidth() * HexColumn(offset % kPerRow) - horizontalScrollBar()->value();
    return {x, kMargin + row * RowHeight(), 2 * CharWidth(), RowHeight()};
}

int THexView::ByteAt(const QPoint& point) const
{
    const int row = (point.y() - kMargin) / RowHeight() + verticalScrollBar()->value();
    const int column = (point.x() - kMargin + horizontalScrollBar()->value()) / CharWidth();
    if (point.y() < kMargin || row < 0)
        return -1;
    for (int i = 0; i < kPerRow; ++i) {
        const bool onHex = column >= HexColumn(i) && column < HexColumn(i) + 2;
        const bool onText = column == TextColumn(i);
        if (onHex || onText) {
            const int offset = row * kPerRow + i;
            return offset < static_cast<int>(bytes_.size()) ? offset : -1;
        }
    }
    return -1;
}

void THexView::mousePressEvent(QMouseEvent* event)
{
    const int offset = ByteAt(event->position().toPoint());
    if (offset >= 0)
        emit ByteClicked(offset);
}

void THexView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const int charWidth = CharWidth();
    const int rowHeight = RowHeight();
    const int ascent = fontMetrics().ascent();
    const int firstRow = verticalScrollBar()->value();
    const int left = kMargin - horizontalScrollBar()->value();
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlightText = palette().color(QPalette::HighlightedText);
    const QColor text = palette().color(QPalette::Text);
    const QColor dim = palette().color(QPalette::PlaceholderText);
    const int rows = static_cast<int>((bytes_.size() + kPerRow - 1) / kPerRow);

    for (int row = firstRow, y = kMargin; row < rows && y < viewport()->height(); ++row, y += rowHeight) {
        painter.setPen(dim);
        painter.drawText(left, y + ascent, QStringLiteral("%1").arg(row * kPerRow, 4, 16, QLatin1Char('0')).toUpper());
        for (int i = 0; i < kPerRow; ++i) {
            const int offset = row * kPerRow + i;
            if (offset >= static_cast<int>(bytes_.size()))
                break;
            const std::uint8_t byte = bytes_[static_cast<std::size_t>(offset)];
            const bool marked = offset >= highlightOffset_ && offset < highlightOffset_ + highlightLength_;
            const int hexX = left + charWidth * HexColumn(i);
            const int textX = left + charWidth * TextColumn(i);
            if (marked) {
                // The gap after a marked byte is marked too while the field goes on in this row.
                const bool nextMarked = offset + 1 < highlightOffset_ + highlightLength_ && i + 1 < kPerRow;
                const int hexWidth = charWidth * (nextMarked ? HexColumn(i + 1) - HexColumn(i) : 2);
                painter.fillRect(hexX, y, hexWidth, rowHeight, highlight);
                painter.fillRect(textX, y, charWidth, rowHeight, highlight);
            }
            painter.setPen(marked ? highlightText : text);
            painter.drawText(hexX, y + ascent, QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
            const QChar shown = byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar('.');
            painter.setPen(marked ? highlightText : dim);
            painter.drawText(textX, y + ascent, QString(shown));
        }
    }
}

} // namespace r7730
