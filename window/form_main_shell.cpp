// Start-up and shutdown of the main window, and the about box.
#include <QPushButton>
#include <QTabWidget>

#include "window/widgets/dialogs.h"
#include "window/form_info.h"
#include "window/form_main.h"
#include "ui_form_main.h"

namespace r7730 {

void TForm_main::WireShell()
{
    Wire(ui->BtnExit, &TForm_main::BtnExitClick);
    Wire(ui->Btn_ViewInfo, &TForm_main::Btn_ViewInfoClick);
    Wire(ui->Btn_Clear, &TForm_main::Btn_ClearClick);
}

void TForm_main::FormCreate()
{
    AddLogLine(QStringLiteral("Start R7730LX Serial Setup Program..."));
    ui->Lb_PGVersion->setText(QStringLiteral("v1.00"));
    ui->PageControl1->setCurrentIndex(0);
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
    BuildBackPages(); // the fields saved are on the maintenance page
    SaveSettings();
}

void TForm_main::FormDestroy()
{
    // The port closes before the controls its events write to go.
    link_.Shutdown();
}

void TForm_main::BtnExitClick()
{
    if (services_.dialogs.Confirm(QStringLiteral("프로그램을 종료하시겠습니까? ")) != TConfirmAnswer::Yes)
        return;
    AddLogLine(QStringLiteral("Kavlor R7730LX Serial Setup Program Exit... "));
    link_.Close();
    close();
}

void TForm_main::Btn_ViewInfoClick()
{
    if (infoForm_)
        infoForm_->exec();
}

} // namespace r7730
