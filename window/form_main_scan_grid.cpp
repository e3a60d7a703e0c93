// The access point scan grid: its two shapes, its cell drawing and the double click that copies
// an SSID into the manual setting.
//
// It is first shown with five columns; every connect gives it six and a title row above four data
// rows. Qt's own headers stay hidden: row 0 holds the titles and column 0 the row numbers, and
// the grid keeps both in place while the rest scrolls (window/widgets/fixed_cell_grid.h). The cells keep
// their text, and rows a scan added beyond the fourth stay (the grid scrolls).
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <algorithm>
#include <span>

#include "window/form_main.h"
#include "ui_form_main.h"
#include "ui_form_main_access_point.h"

namespace r7730 {
namespace {

struct TGridColumn {
    const char* title;
    int width;
};

constexpr TGridColumn kFirstShownColumns[] = {
    {"순번", 60}, {"SSID", 250}, {"Channel", 80}, {"RSSI", 60}, {"AuthMode", 200},
};

constexpr TGridColumn kConnectedColumns[] = {
    {"순번", 60}, {"SSID", 290}, {"CH", 60}, {"RSSI", 65}, {"Quality", 70}, {"Auth Mode", 220},
};

void ShapeGrid(QTableWidget* grid, std::span<const TGridColumn> columns)
{
    grid->setColumnCount(static_cast<int>(columns.size()));
    grid->setRowCount(std::max(5, grid->rowCount()));
    for (int column = 0; column < grid->columnCount(); ++column) {
        QTableWidgetItem* title = grid->item(0, column);
        if (!title) {
            title = new QTableWidgetItem;
            grid->setItem(0, column, title);
        }
        title->setText(QString::fromUtf8(columns[static_cast<std::size_t>(column)].title));
        grid->setColumnWidth(column, columns[static_cast<std::size_t>(column)].width);
    }
}

// Column 0, the title row and the numbers of columns 2 to 4 are drawn by the window; the SSID
// and the authentication mode keep the grid's own left-aligned text.
bool DrawnByTheWindow(int row, int column)
{
    return row == 0 || column == 0 || (column >= 2 && column <= 4);
}

// The colour Qt's own drawing gives a cell's text: the highlighted-text colour on a selected
// cell, of the cell's colour group.
QColor TextColour(const QStyleOptionViewItem& cell)
{
    QPalette::ColorGroup group = cell.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(cell.state & QStyle::State_Active))
        group = QPalette::Inactive;
    return cell.palette.color(group, cell.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
}

// Qt draws each cell; where the window draws the text, Qt draws the cell without it, and the
// window's text goes over it in the pen Qt would have used.
class TScanGridCells : public QStyledItemDelegate {
public:
    TScanGridCells(TForm_main& form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!DrawnByTheWindow(index.row(), index.column())) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        const QString text = cell.text;
        cell.text.clear();
        const QWidget* grid = option.widget;
        grid->style()->drawControl(QStyle::CE_ItemViewItem, &cell, painter, grid);
        painter->save();
        painter->setPen(TextColour(cell));
        form_.RunGuarded([&] { form_.APList_GridDrawCell(*painter, index.row(), index.column(), option.rect, text); });
        painter->restore();
    }

private:
    TForm_main& form_;
};

} // namespace

void TForm_main::WireScanGrid()
{
    const Ui::TPage_AccessPoint& page = *accessPointPage_;
    page.APList_Grid->setItemDelegate(new TScanGridCells(*this, page.APList_Grid));
    connect(page.APList_Grid, &QTableWidget::cellDoubleClicked, this, [this] { RunGuarded([this] { APList_GridDblClick(); }); });
    Wire(page.Btn_InitGrid, &TForm_main::Btn_InitGridClick);
}

void TForm_main::APList_GridDrawCell(QPainter& painter, int row, int column, const QRect& rect, const QString& text)
{
    painter.save();
    painter.setClipRect(rect);
    QFont font = accessPointPage_->APList_Grid->font();
    font.setBold(font.bold() || row == 0);
    painter.setFont(font);
    const QRect below = rect.adjusted(0, 2, 0, 0);
    if (row > 0 && column >= 2 && column <= 4) {
        painter.drawText(below.adjusted(0, 0, -2, 0), Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, text);
    } else {
        // Centred on the cell's middle, the way it is measured from its two edges.
        const int middle = (rect.left() + rect.left() + rect.width()) / 2;
        const int half = rect.width();
        painter.drawText(QRect(middle - half, below.top(), 2 * half, below.height()),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
    }
    painter.restore();
}

void TForm_main::APList_GridDblClick()
{
    const Ui::TPage_AccessPoint& page = *accessPointPage_;
    QTableWidget* grid = page.APList_Grid;
    if (!page.CB_Manual_set_AP->isChecked() || grid->currentColumn() != 1)
        return;
    const QTableWidgetItem* cell = grid->currentItem();
    page.Edit_Current_SSID->setText(cell ? cell->text() : QString());
    page.Edit_Current_Pw->clear();
    page.Edit_Current_Pw->setFocus();
}

void TForm_main::LayOutScanGridFirstUse()
{
    ShapeGrid(accessPointPage_->APList_Grid, kFirstShownColumns);
}

void TForm_main::Btn_InitGridClick()
{
    ShapeGrid(accessPointPage_->APList_Grid, kConnectedColumns);
}

} // namespace r7730
