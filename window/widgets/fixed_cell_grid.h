#pragma once
// TFixedCellGrid: a table whose row 0 and column 0 are fixed, as in a string grid with one
// fixed row and one fixed column.
//
// The fixed cells stay ordinary cells of the table: the program writes the titles into row 0
// and the row numbers into column 0, and every size and text is read and set as for any
// other cell. What makes them fixed: they are drawn over the scrolled cells, at the top and
// the left edge of the viewport, so they never scroll; the user cannot click, double-click or
// move the current cell onto them, so they are never selected. Scrolling keeps its full range:
// a row that scrolls under the fixed row is the one a fixed-row grid scrolls out of sight.
#include <QTableWidget>

namespace r7730 {

class TFixedCellGrid : public QTableWidget {
    Q_OBJECT

public:
    using QTableWidget::QTableWidget;

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

private:
    int FixedRowHeight() const;
    int FixedColumnWidth() const;
    bool OnFixedCells(const QPoint& point) const;
    // Draws one fixed cell the way the table draws its cells, over whatever is below it.
    void PaintFixedCell(QPainter& painter, int row, int column, const QRect& cell) const;
};

} // namespace r7730
