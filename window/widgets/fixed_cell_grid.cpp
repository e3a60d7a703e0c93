#include "window/widgets/fixed_cell_grid.h"

#include <QAbstractItemDelegate>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace r7730 {
namespace {

// The pen of the table's own grid lines.
QPen GridPen(const QTableView& table, const QStyleOptionViewItem& option)
{
    const int hint = table.style()->styleHint(QStyle::SH_Table_GridLineColor, &option, &table);
    return QPen(QColor::fromRgba(static_cast<QRgb>(hint)), 1, table.gridStyle());
}

// Scrolls back until `covered` says the cell is clear of the fixed cells, or as far as it goes.
template <typename TCovered>
void ScrollBackWhile(QScrollBar* bar, bool perItem, TCovered covered)
{
    for (int overlap = covered(); overlap > 0 && bar->value() > bar->minimum(); overlap = covered())
        bar->setValue(bar->value() - (perItem ? 1 : overlap));
}

} // namespace

int TFixedCellGrid::FixedRowHeight() const
{
    return rowCount() > 0 ? rowHeight(0) : 0;
}

int TFixedCellGrid::FixedColumnWidth() const
{
    return columnCount() > 0 ? columnWidth(0) : 0;
}

bool TFixedCellGrid::OnFixedCells(const QPoint& point) const
{
    return point.y() < FixedRowHeight() || point.x() < FixedColumnWidth();
}

void TFixedCellGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QTableWidget::scrollTo(index, hint);
    if (!index.isValid())
        return;
    // The table scrolls a cell above or left of the view to the view's edge, which the fixed
    // cells cover.
    if (index.row() > 0)
        ScrollBackWhile(verticalScrollBar(), verticalScrollMode() == ScrollPerItem,
                        [&] { return FixedRowHeight() - visualRect(index).top(); });
    if (index.column() > 0)
        ScrollBackWhile(horizontalScrollBar(), horizontalScrollMode() == ScrollPerItem,
                        [&] { return FixedColumnWidth() - visualRect(index).left(); });
}

void TFixedCellGrid::scrollContentsBy(int dx, int dy)
{
    QTableWidget::scrollContentsBy(dx, dy);
    // The view moved its pixels, fixed cells included; they are drawn again where they belong.
    viewport()->update();
}

void TFixedCellGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    QTableWidget::dataChanged(topLeft, bottomRight, roles);
    // The table repaints a changed cell where it would be scrolled to, not where it is fixed.
    if (topLeft.isValid() && (topLeft.row() == 0 || topLeft.column() == 0))
        viewport()->update();
}

QModelIndex TFixedCellGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex next = QTableWidget::moveCursor(cursorAction, modifiers);
    if (!next.isValid() || rowCount() < 2 || columnCount() < 2)
        return QModelIndex();
    return model()->index(std::max(next.row(), 1), std::max(next.column(), 1));
}

void TFixedCellGrid::mousePressEvent(QMouseEvent* event)
{
    if (OnFixedCells(event->position().toPoint()))
        return event->accept();
    QTableWidget::mousePressEvent(event);
}

void TFixedCellGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (OnFixedCells(event->position().toPoint()))
        return event->accept();
    QTableWidget::mouseDoubleClickEvent(event);
}

void TFixedCellGrid::mouseMoveEvent(QMouseEvent* event)
{
    // Dragging over the fixed cells would make them current.
    if (OnFixedCells(event->position().toPoint()))
        return event->accept();
    QTableWidget::mouseMoveEvent(event);
}

void TFixedCellGrid::paintEvent(QPaintEvent* event)
{
    QTableWidget::paintEvent(event);
    if (rowCount() == 0 || columnCount() == 0)
        return;
    const int fixedHeight = FixedRowHeight();
    const int fixedWidth = FixedColumnWidth();
    const QRect view = viewport()->rect();
    const QBrush background = viewport()->palette().brush(viewport()->backgroundRole());
    QPainter painter(viewport());

    // The fixed column below the fixed row: its cells follow the rows up and down.
    const QRect columnStrip(0, fixedHeight, fixedWidth, view.height() - fixedHeight);
    painter.save();
    painter.setClipRect(columnStrip);
    painter.fillRect(columnStrip, background);
    for (int row = 1; row < rowCount(); ++row)
        PaintFixedCell(painter, row, 0, QRect(0, rowViewportPosition(row), fixedWidth, rowHeight(row)));
    painter.restore();

    // The fixed row right of the fixed column: its cells follow the columns left and right.
    const QRect rowStrip(fixedWidth, 0, view.width() - fixedWidth, fixedHeight);
    painter.save();
    painter.setClipRect(rowStrip);
    painter.fillRect(rowStrip, background);
    for (int column = 1; column < columnCount(); ++column)
        PaintFixedCell(painter, 0, column, QRect(columnViewportPosition(column), 0, columnWidth(column), fixedHeight));
    painter.restore();

    painter.fillRect(QRect(0, 0, fixedWidth, fixedHeight), background);
    PaintFixedCell(painter, 0, 0, QRect(0, 0, fixedWidth, fixedHeight));
}

void TFixedCellGrid::PaintFixedCell(QPainter& painter, int row, int column, const QRect& cell) const
{
    const QModelIndex index = model()->index(row, column);
    const int gridSize = showGrid() ? 1 : 0;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell.adjusted(0, 0, -gridSize, -gridSize);
    // The state the table gives the cells it draws itself.
    if (selectionModel() && selectionModel()->isSelected(index))
        option.state |= QStyle::State_Selected;
    if (option.state & QStyle::State_Enabled) {
        const bool enabled = model()->flags(index) & Qt::ItemIsEnabled;
        option.state.setFlag(QStyle::State_Enabled, enabled);
        option.palette.setCurrentColorGroup(enabled ? QPalette::Normal : QPalette::Disabled);
    }
    if (index == currentIndex() && (hasFocus() || viewport()->hasFocus()))
        option.state |= QStyle::State_HasFocus;
    style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
    itemDelegateForIndex(index)->paint(&painter, option, index);
    if (gridSize) {
        painter.save();
        painter.setPen(GridPen(*this, option));
        painter.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
        painter.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
        painter.restore();
    }
}

} // namespace r7730
