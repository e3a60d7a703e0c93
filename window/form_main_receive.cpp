// What the device link hands back: log lines, decoded replies written into the controls, the
// closed-port refusal and the lost device.
#include <QTableWidget>

#include "window/widgets/dialogs.h"
#include "window/form_main.h"
#include "ui_form_main.h"
#include "ui_form_main_status.h"
#include "ui_form_main_access_point.h"

namespace r7730 {

void TForm_main::TLinkListener::LogLine(const QString& line)
{
    form_.AddLogLine(line);
}

void TForm_main::TLinkListener::FrameLogLine(const QString& line, const TShownFrame& frame)
{
    form_.AddLogLine(line, form_.StoredFrameOf(frame));
}

void TForm_main::TLinkListener::SendRefused(const QString& text)
{
    form_.services_.dialogs.Notice(text);
}

void TForm_main::TLinkListener::StatusReplied(const TStatusReply& reply)
{
    form_.ShowStatusReply(reply);
    const Ui::TPage_Status& page = *form_.statusPage_;
    for (QWidget* panel : {page.Panel_Info_Default, page.Panel_Info_Wan, page.Panel_Info_Server, page.Panel_Info_Serial})
        panel->setEnabled(true);
}

void TForm_main::TLinkListener::ScanReplied(const TScanReply& reply)
{
    form_.FillScanGrid(reply);
    form_.accessPointPage_->APList_Grid->setEnabled(true);
}

void TForm_main::TLinkListener::CurrentApReplied(const TCurrentApReply& reply)
{
    form_.ShowCurrentApReply(reply);
}

void TForm_main::TLinkListener::SignalReplied(const TSignalReply& reply)
{
    form_.ShowRssiReply(reply);
}

void TForm_main::TLinkListener::DeviceLost()
{
    form_.RunGuarded([this] { form_.ReportDeviceLost(); });
}

} // namespace r7730
