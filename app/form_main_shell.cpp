// Start-up and shutdown of the main window, and the about box.
#include <QTabWidget>

#include "app/dialogs.h"
#include "app/form_info.h"
#include "app/form_main.h"
#include "app/form_main_layout.h"
#include "ui_form_main.h"

namespace r7730 {

void TForm_main::FormCreate()
{
    AddLogLine(QStringLiteral("Start R7730LX Serial Setup Program..."));
    StatusReceived = 0;
    ui->Lb_PGVersion->setText(QStringLiteral("v1.00"));
    ui->PageControl1->setCurrentIndex(0);
    LayOutScanGridFirstUse(ui->APList_Grid);
}

QString TForm_main::VersionText() const
{
    return ui->Lb_PGVersion->text();
}

void TForm_main::FormActivate()
{
    LoadSettings();
}

void TForm_main::FormClose()
{
    // A failed save is reported (by the guard around this handler) but never keeps the
    // window open: a first start without a cfg folder must still be able to close.
    SaveSettings();
}

void TForm_main::FormDestroy()
{
    try {
        ComPortEnvBoard->ClosePort();
    } catch (const std::exception&) {
        // The program is ending: nothing is left to tell.
    }
    // The port goes before the controls its handlers write to, without its handlers: a port
    // that failed to close still serves its last events on the way out.
    ComPortEnvBoard->OnRxChar = nullptr;
    ComPortEnvBoard->OnError = nullptr;
    ComPortEnvBoard->OnHangUp = nullptr;
    delete ComPortEnvBoard;
    ComPortEnvBoard = nullptr;
}

void TForm_main::BtnExitClick()
{
    if (services_.dialogs.Confirm(QStringLiteral("프로그램을 종료하시겠습니까? ")) != TConfirmAnswer::Yes)
        return;
    AddLogLine(QStringLiteral("Kavlor R7730LX Serial Setup Program Exit... "));
    ComPortEnvBoard->ClosePort();
    close();
}

void TForm_main::Btn_ViewInfoClick()
{
    if (infoForm_)
        infoForm_->exec();
}

} // namespace r7730
