// The access point scan grid's shape, set again at every connect: six columns and a title
// row above four data rows. The cells keep their text.
#include <QTableWidget>

#include "app/form_main.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

struct TGridColumn {
    const char* title;
    int width;
};

constexpr TGridColumn kScanGridColumns[] = {
    {"순번", 60}, {"SSID", 290}, {"CH", 60}, {"RSSI", 65}, {"Quality", 70}, {"Auth Mode", 220},
};

} // namespace

void TForm_main::Btn_InitGridClick()
{
    QTableWidget* grid = ui->APList_Grid;
    grid->setColumnCount(6);
    grid->setRowCount(5);
    for (int column = 0; column < 6; ++column) {
        QTableWidgetItem* title = grid->item(0, column);
        if (!title) {
            title = new QTableWidgetItem;
            grid->setItem(0, column, title);
        }
        title->setText(QString::fromUtf8(kScanGridColumns[column].title));
        grid->setColumnWidth(column, kScanGridColumns[column].width);
    }
}

} // namespace r7730
