// The access point scan grid's two shapes. It is first shown with five columns; every connect
// gives it six and a title row above four data rows. Qt's own headers stay hidden: row 0 is the
// title row, as in a string grid with one fixed row. The cells keep their text.
#include <QTableWidget>
#include <span>

#include "window/form_main.h"
#include "ui_form_main.h"

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
    grid->setRowCount(5);
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

} // namespace

void TForm_main::LayOutScanGridFirstUse()
{
    ShapeGrid(ui->APList_Grid, kFirstShownColumns);
}

void TForm_main::Btn_InitGridClick()
{
    ShapeGrid(ui->APList_Grid, kConnectedColumns);
}

} // namespace r7730
