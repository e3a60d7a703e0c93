// The access point commands of the second tab: the three reads (current access point, scan,
// signal strength), the manual setting and its switch.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "protocol/code_page.h"
#include "window/form_main.h"
#include "window/message_id_hint.h"
#include "ui_form_main.h"
#include "ui_form_main_access_point.h"

namespace r7730 {

void TForm_main::WireAccessPointCommands()
{
    const Ui::TPage_AccessPoint& page = *accessPointPage_;
    for (QPushButton* button : {page.Btn_Get_CurrentAP, page.Btn_Search_AP, page.Btn_Get_CurrentAP_RSSI})
        connect(button, &QAbstractButton::clicked, this,
                [this, button] { RunGuarded([this, button] { Btn_Get_CurrentAPClick(button); }); });
    Wire(page.Btn_Set_CurrentAP, &TForm_main::Btn_Set_CurrentAPClick);
    Wire(page.CB_Manual_set_AP, &TForm_main::CB_Manual_set_APClick);
}

void TForm_main::Btn_Get_CurrentAPClick(QObject* sender)
{
    if (!Confirmed(QStringLiteral("Network 환경에 따라 응답시간이 길어질수 있습니다.  잠시만 기다려 주십시오.")))
        return;
    link_.ReadRequest(HintedMessageId(*sender));
}

void TForm_main::Btn_Set_CurrentAPClick()
{
    const auto checked = CheckAccessPoint(accessPointPage_->Edit_Current_SSID->text().toStdU16String(),
                                          accessPointPage_->Edit_Current_Pw->text().toStdU16String());
    if (ShowRefusal(std::get_if<TRefusal>(&checked)) ||
        !AgreedToUnreadable(UnreadableFields(std::get<TAccessPoint>(checked))) ||
        !Confirmed(QStringLiteral("AP 설정이 변경 저장되고 시스템이 Rebooting됩니다. 진행하시겠습니까?? ")))
        return;
    link_.SetAccessPoint(std::get<TAccessPoint>(checked));
}

void TForm_main::CB_Manual_set_APClick()
{
    const Ui::TPage_AccessPoint& page = *accessPointPage_;
    const bool manual = page.CB_Manual_set_AP->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{page.Btn_Set_CurrentAP, page.Edit_Current_SSID, page.Edit_Current_Pw})
        control->setEnabled(manual);
}

} // namespace r7730
