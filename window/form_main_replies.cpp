// Reply handlers: the decoded values of a reply written into the window's controls. Decoding
// stops at the first value that does not convert, so a bad reply updates the controls up to
// that value and leaves the rest as they were; no handler shows a message. The reply's log
// line has been written by the device link.
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTableWidget>

#include "window/form_main.h"
#include "window/form_main_look.h"
#include "ui_form_main.h"
#include "ui_form_main_status.h"
#include "ui_form_main_access_point.h"

namespace r7730 {
namespace {

QString Text(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

// A reply that repeats what a field shows leaves the field alone: no new layout of its text, and
// the cursor of a user in the field stays where it is. Status polling repeats most fields.
template <typename TField>
void ShowText(TField* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

// The same for the text of an editable box.
void ShowText(QComboBox* box, const QString& text)
{
    if (box->currentText() != text)
        box->setEditText(text);
}

void SetOctets(const std::array<QLineEdit*, 4>& boxes, const std::array<std::u16string, 4>& octets)
{
    for (std::size_t i = 0; i < boxes.size(); ++i)
        ShowText(boxes[i], Text(octets[i]));
}

// A grid cell by row and column; the grid grows to show every row a reply lists.
void SetCell(QTableWidget* grid, int row, int column, const QString& text)
{
    if (row >= grid->rowCount())
        grid->setRowCount(row + 1);
    QTableWidgetItem* item = grid->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        grid->setItem(row, column, item);
    }
    item->setText(text);
}

// A combo box's item index; an index past the end of its list leaves no selection.
void SelectIndex(QComboBox* box, int index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

} // namespace

void TForm_main::ShowStatusReply(const TStatusReply& reply)
{
    const Ui::TPage_Status& page = *statusPage_;
    ShowText(page.Panel_DevName, Text(reply.deviceName));
    ShowText(page.Panel_Version, Text(reply.version));
    ShowText(page.PanelMacAddr, Text(reply.macAddress));
    SetOctets({page.Edit_IP1, page.Edit_IP2, page.Edit_IP3, page.Edit_IP4}, reply.ip);
    SetOctets({page.Edit_GW1, page.Edit_GW2, page.Edit_GW3, page.Edit_GW4}, reply.gateway);
    SetOctets({page.Edit_SM1, page.Edit_SM2, page.Edit_SM3, page.Edit_SM4}, reply.subnetMask);
    ShowText(page.Edit_Server_Port, Text(reply.listenPort));
    ShowText(page.CB_Server_ExpTime, Text(reply.expiryTime));
    QComboBox* const serialBoxes[] = {page.CB_Baudrate, page.CB_Databits, page.CB_Stopbits, page.CB_Parity, page.CB_Flow};
    for (std::size_t i = 0; i < reply.serialIndexes.size(); ++i)
        SelectIndex(serialBoxes[i], reply.serialIndexes[i]);
    if (!reply.tcpModeIndex)
        return;
    SetRadioGroupIndex(page.RG_TCP_Mode, *reply.tcpModeIndex);
    UpdateTcpModeView();
    ShowText(page.Edit_SvrPort_app, Text(*reply.targetPort));
    SetOctets({page.Edit_SvrIP1, page.Edit_SvrIP2, page.Edit_SvrIP3, page.Edit_SvrIP4}, *reply.targetIp);
}

void TForm_main::UpdateTcpModeView()
{
    const Ui::TPage_Status& page = *statusPage_;
    const bool server = RadioGroupIndex(page.RG_TCP_Mode) == 0;
    page.GB_Server->setEnabled(server);
    page.GB_Client->setEnabled(!server);
    // The fields of the role not taken are drawn on the button face, so they look greyed.
    const QPalette::ColorRole serverRole = server ? QPalette::Base : QPalette::Button;
    const QPalette::ColorRole clientRole = server ? QPalette::Button : QPalette::Base;
    auto paint = [](QWidget* field, QPalette::ColorRole role) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, QApplication::palette().color(role));
        // Every status reply comes here: a field already drawn so is left alone, which spares
        // re-polishing it once per reply under a stream of replies.
        if (palette == field->palette() && palette.resolveMask() == field->palette().resolveMask())
            return;
        field->setPalette(palette);
    };
    for (QWidget* field : std::initializer_list<QWidget*>{page.Edit_Server_Port, page.CB_Server_ExpTime})
        paint(field, serverRole);
    for (QWidget* field : std::initializer_list<QWidget*>{page.Edit_SvrIP1, page.Edit_SvrIP2, page.Edit_SvrIP3,
                                                          page.Edit_SvrIP4, page.Edit_SvrPort_app})
        paint(field, clientRole);
}

void TForm_main::FillScanGrid(const TScanReply& reply)
{
    QTableWidget* grid = accessPointPage_->APList_Grid;
    for (const TScanRow& row : reply.rows) {
        SetCell(grid, row.number, 0, QString::number(row.number));
        SetCell(grid, row.number, 1, Text(row.ssid));
        SetCell(grid, row.number, 2, Text(row.channel));
        if (!row.rssi)
            break;
        SetCell(grid, row.number, 3, Text(*row.rssi));
        SetCell(grid, row.number, 4, Text(*row.quality));
        SetCell(grid, row.number, 5, Text(*row.authMode));
    }
}

void TForm_main::ShowCurrentApReply(const TCurrentApReply& reply)
{
    ShowText(accessPointPage_->Edit_Current_SSID, Text(reply.ssid));
    ShowText(accessPointPage_->Edit_Current_Pw, Text(reply.password));
}

void TForm_main::ShowRssiReply(const TSignalReply& reply)
{
    const Ui::TPage_AccessPoint& page = *accessPointPage_;
    ShowText(page.Edit_Current_SSID, Text(reply.ssid));
    ShowText(page.Edit_Current_RSSI, Text(reply.rssiText));
    if (reply.noInfo) {
        ShowText(page.Edit_Quality, QStringLiteral("Disconnected"));
        return;
    }
    if (!reply.quality)
        return;
    ShowText(page.Edit_Quality, QString::number(*reply.quality));
    ShowText(page.Panel_Quality, QStringLiteral("%1%").arg(*reply.quality));
    page.PB_SignalQuality->setValue(*reply.quality);
}

} // namespace r7730
