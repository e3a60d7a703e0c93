// The maintenance commands of the third tab: factory reset, reboot, flash erase, flash save
// and firmware download.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "protocol/code_page.h"
#include "window/form_main.h"
#include "window/message_id_hint.h"
#include "ui_form_main.h"
#include "ui_form_main_maintenance.h"

namespace r7730 {

void TForm_main::WireMaintenanceCommands()
{
    const Ui::TPage_Maintenance& page = *maintenancePage_;
    // The hidden test panel's two buttons send the status read too.
    for (QPushButton* button : {page.Btn_SockClose, page.Btn_DnsTest})
        Wire(button, &TForm_main::Btn_CurrentStatusClick);
    Wire(page.Btn_FactoryReset, &TForm_main::Btn_FactoryResetClick);
    Wire(page.Btn_SystemReboot, &TForm_main::Btn_SystemRebootClick);
    Wire(page.Btn_FlashErase, &TForm_main::Btn_FlashEraseClick);
    Wire(page.Btn_FlashSaveInt, &TForm_main::Btn_FlashSaveIntClick);
    Wire(page.Btn_FW_DL, &TForm_main::Btn_FW_DLClick);
}

void TForm_main::Btn_FactoryResetClick()
{
    if (!Confirmed(QStringLiteral("모든 설정값이 공장출고 상태로 초기화 됩니다. 진행하시겠습니까?? ")))
        return;
    link_.FactoryReset(HintedMessageId(*maintenancePage_->Btn_FactoryReset));
}

void TForm_main::Btn_SystemRebootClick()
{
    if (!Confirmed(QStringLiteral("System Reboot을 진행하시겠습니까?? ")))
        return;
    link_.SystemReboot();
}

void TForm_main::Btn_FlashEraseClick()
{
    if (!Confirmed(QStringLiteral("모든 Flash Memory 영역이 삭제되어 Device를 사용할수 없게됩니다. 계속하시겠습니까? ")))
        return;
    link_.FlashErase(HintedMessageId(*maintenancePage_->Btn_FlashErase));
}

void TForm_main::Btn_FlashSaveIntClick()
{
    const Ui::TPage_Maintenance& page = *maintenancePage_;
    const auto checked = CheckFlashSave(
        {page.Edit_FlashSaveInt->text().toStdString(), page.Edit_FlashSaveDelay->currentText().toStdString()});
    if (ShowRefusal(std::get_if<TRefusal>(&checked)))
        return;
    link_.FlashSave(std::get<TFlashSaveSettings>(checked));
}

void TForm_main::Btn_FW_DLClick()
{
    const Ui::TPage_Maintenance& page = *maintenancePage_;
    TFirmwareDownloadTexts texts;
    texts.serverIp = {page.Edit_DL_IP1->text().toStdString(), page.Edit_DL_IP2->text().toStdString(),
                      page.Edit_DL_IP3->text().toStdString(), page.Edit_DL_IP4->text().toStdString()};
    texts.serverPort = page.Edit_DL_Port->text().toStdString();
    texts.fileName = WideToAnsi(page.Edit_DL_File->text().toStdU16String());
    const auto checked = CheckFirmwareDownload(texts);
    if (ShowRefusal(std::get_if<TRefusal>(&checked)))
        return;
    link_.DownloadFirmware(std::get<TFirmwareDownload>(checked));
}

} // namespace r7730
