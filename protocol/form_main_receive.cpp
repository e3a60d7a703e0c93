// The receive path: every byte from the device arrives here, is rebuilt into frames, logged
// as hex text and handed to the reply handler of its message ID.
#include <QTableWidget>
#include <algorithm>
#include <array>

#include "app/form_main.h"
#include "ui_form_main.h"

namespace r7730 {

void TForm_main::ComPortEnvBoardRxChar(int count)
{
    std::array<std::uint8_t, kRxBufferSize> bytes{};
    int received = 0;
    try {
        received = ComPortEnvBoard->ReceiveBytes(bytes.data(), std::min(count, kRxBufferSize));
    } catch (const EComPort& error) {
        // Most often the device has just gone away; the port reports that on its own.
        AddLogLine(QStringLiteral("Serial port read failed: %1").arg(QString::fromUtf8(error.what())));
        return;
    }
    try {
        RxPath.Feed(bytes.data(), received, frameSink_);
    } catch (const std::exception& error) {
        // Never let a failing step end the port's event delivery: note it and go on.
        AddLogLine(QStringLiteral("Receive error: %1").arg(QString::fromUtf8(error.what())));
    }
}

void TForm_main::HandleCompletedFrame()
{
    AddLogLine(QStringLiteral("[EOT]"));
    const TReplyAction action = RxPath.Action();
    if (action == TReplyAction::AcceptSilently)
        return;
    if (action == TReplyAction::Unregistered)
        AddLogLine(QString::fromStdString(RxPath.UnregisteredLogLine()));
    AddLogLine(QString::fromStdString(RxPath.ReceiveLogLine()));

    switch (action) {
    case TReplyAction::ShowStatus:
        StatusReceived = 1;
        ShowStatusReply();
        for (QWidget* panel : {ui->Panel_Info_Default, ui->Panel_Info_Wan, ui->Panel_Info_Server, ui->Panel_Info_Serial})
            panel->setEnabled(true);
        break;
    case TReplyAction::FillScanGrid:
        FillScanGrid();
        ui->APList_Grid->setEnabled(true);
        break;
    case TReplyAction::ShowCurrentAp:
        ShowCurrentApReply();
        break;
    case TReplyAction::ShowSignal:
        ShowRssiReply();
        break;
    case TReplyAction::Unregistered:
        Btn_CurrentStatusClick();
        break;
    case TReplyAction::AcceptSilently:
    case TReplyAction::DropWrongLength:
        break;
    }
}

void TForm_main::HandleOverflowedFrame(int droppedBytes)
{
    AddLogLine(QStringLiteral("Frame dropped: %1 bytes without an end byte exceed the receive buffer of %2 bytes; "
                              "the rest of it is skipped up to its end byte")
                   .arg(droppedBytes)
                   .arg(kRxBufferSize));
}

} // namespace r7730
