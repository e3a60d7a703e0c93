// The three saves of the first tab (WAN addressing, TCP role, the device's serial line), the
// TCP role switch, and the window's way of showing a refused input. The rules live in
// device/command_checks.h; these handlers read the boxes, ask, and hand the values on.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "protocol/serial_line_codes.h"
#include "window/widgets/dialogs.h"
#include "window/form_main.h"
#include "window/form_main_look.h"
#include "ui_form_main.h"
#include "ui_form_main_status.h"
#include "ui_form_main_access_point.h"
#include "ui_form_main_maintenance.h"

namespace r7730 {
namespace {

std::string Text(const QLineEdit* box)
{
    return box->text().toStdString();
}

TAddressTexts Texts(const QLineEdit* first, const QLineEdit* second, const QLineEdit* third, const QLineEdit* fourth)
{
    return {Text(first), Text(second), Text(third), Text(fourth)};
}

void Fill(QComboBox* box, std::span<const std::string_view> choices, std::string_view shown)
{
    for (const std::string_view choice : choices)
        box->addItem(QString::fromLatin1(choice.data(), static_cast<qsizetype>(choice.size())));
    box->setCurrentIndex(SerialChoiceIndex(choices, shown).value_or(0));
}

} // namespace

// The device's serial choices are the protocol's own table, the one the save frame's indexes
// and the status reply's digits are read against. Until a reply says otherwise they show the
// device's usual line, 115200 8N1 without flow control.
void TForm_main::FillSerialChoices()
{
    const Ui::TPage_Status& page = *statusPage_;
    Fill(page.CB_Baudrate, kBaudRateChoices, "115200");
    Fill(page.CB_Databits, kDataBitsChoices, "8");
    Fill(page.CB_Stopbits, kStopBitsChoices, "1");
    Fill(page.CB_Parity, kParityChoices, "None");
    Fill(page.CB_Flow, kFlowControlChoices, "None");
}

bool TForm_main::ShowRefusal(const TRefusal* refusal)
{
    if (!refusal)
        return false;
    services_.dialogs.Notice(QString::fromUtf8(WindowMessage(refusal->rule)));
    QWidget* field = nullptr;
    switch (refusal->field) {
    case TCheckedField::ListenPort: field = statusPage_->Edit_Server_Port; break;
    case TCheckedField::TargetPort: field = statusPage_->Edit_SvrPort_app; break;
    case TCheckedField::ExpiryTime: field = statusPage_->CB_Server_ExpTime; break;
    case TCheckedField::Ssid: field = accessPointPage_->Edit_Current_SSID; break;
    case TCheckedField::Password: field = accessPointPage_->Edit_Current_Pw; break;
    case TCheckedField::FileName: field = maintenancePage_->Edit_DL_File; break;
    case TCheckedField::None: break;
    }
    // A field of the role not taken is disabled: the focus then stays where it is.
    if (field && field->isEnabled())
        field->setFocus();
    return true;
}

bool TForm_main::Confirmed(const QString& question)
{
    return services_.dialogs.Confirm(question) != TConfirmAnswer::No;
}

namespace {

QString UnreadableFieldName(TUnreadableField field)
{
    switch (field) {
    case TUnreadableField::Ip: return QStringLiteral("IP 주소");
    case TUnreadableField::Gateway: return QStringLiteral("Gateway");
    case TUnreadableField::SubnetMask: return QStringLiteral("Subnet Mask");
    case TUnreadableField::ListenPort: return QStringLiteral("Listen Port");
    case TUnreadableField::ExpiryTime: return QStringLiteral("Server Expire Time");
    case TUnreadableField::TargetIp: return QStringLiteral("Target(Server) IP");
    case TUnreadableField::TargetPort: return QStringLiteral("Target(Server) Port");
    case TUnreadableField::Ssid: return QStringLiteral("SSID");
    case TUnreadableField::Password: return QStringLiteral("비밀번호");
    }
    return {};
}

// Of an address's four boxes, the one holding 254; the first when none does.
QWidget* OctetHolding254(std::initializer_list<QLineEdit*> boxes)
{
    for (QLineEdit* box : boxes)
        if (box->text().trimmed().toInt() == 254)
            return box;
    return *boxes.begin();
}

} // namespace

QWidget* TForm_main::UnreadableFieldBox(TUnreadableField field) const
{
    const Ui::TPage_Status& page = *statusPage_;
    switch (field) {
    case TUnreadableField::Ip: return OctetHolding254({page.Edit_IP1, page.Edit_IP2, page.Edit_IP3, page.Edit_IP4});
    case TUnreadableField::Gateway: return OctetHolding254({page.Edit_GW1, page.Edit_GW2, page.Edit_GW3, page.Edit_GW4});
    case TUnreadableField::SubnetMask: return OctetHolding254({page.Edit_SM1, page.Edit_SM2, page.Edit_SM3, page.Edit_SM4});
    case TUnreadableField::ListenPort: return page.Edit_Server_Port;
    case TUnreadableField::ExpiryTime: return page.CB_Server_ExpTime;
    case TUnreadableField::TargetIp:
        return OctetHolding254({page.Edit_SvrIP1, page.Edit_SvrIP2, page.Edit_SvrIP3, page.Edit_SvrIP4});
    case TUnreadableField::TargetPort: return page.Edit_SvrPort_app;
    case TUnreadableField::Ssid: return accessPointPage_->Edit_Current_SSID;
    case TUnreadableField::Password: return accessPointPage_->Edit_Current_Pw;
    }
    return nullptr;
}

bool TForm_main::AgreedToUnreadable(const std::vector<TUnreadableField>& fields)
{
    if (fields.empty())
        return true;
    const QString question =
        QStringLiteral("%1 값에는 254(0xFE) 바이트가 들어 있어, 단말기에 저장은 되지만 단말기가 이 값을 다시 "
                       "읽어 보여 줄 수 없습니다. 그래도 저장하시겠습니까?")
            .arg(UnreadableFieldName(fields.front()));
    // Unlike the device commands' own questions, only a clear Yes goes on here.
    if (services_.dialogs.Confirm(question) == TConfirmAnswer::Yes)
        return true;
    QWidget* box = UnreadableFieldBox(fields.front());
    if (box && box->isEnabled())
        box->setFocus();
    return false;
}

void TForm_main::WireSettingsSaves()
{
    const Ui::TPage_Status& page = *statusPage_;
    Wire(page.Btn_Save_Config_Wan, &TForm_main::Btn_Save_Config_WanClick);
    Wire(page.Btn_Save_Config_Server, &TForm_main::Btn_Save_Config_ServerClick);
    Wire(page.Btn_Save_Config_Serial, &TForm_main::Btn_Save_Config_SerialClick);
    for (QRadioButton* role : {page.RG_TCP_Mode_Server, page.RG_TCP_Mode_Client})
        Wire(role, &TForm_main::RG_TCP_ModeClick);
}

void TForm_main::Btn_Save_Config_WanClick()
{
    const Ui::TPage_Status& page = *statusPage_;
    const TWanTexts texts{Texts(page.Edit_IP1, page.Edit_IP2, page.Edit_IP3, page.Edit_IP4),
                          Texts(page.Edit_GW1, page.Edit_GW2, page.Edit_GW3, page.Edit_GW4),
                          Texts(page.Edit_SM1, page.Edit_SM2, page.Edit_SM3, page.Edit_SM4)};
    const auto checked = CheckWanSettings(link_.StatusReceived(), texts);
    if (ShowRefusal(std::get_if<TRefusal>(&checked)) ||
        !AgreedToUnreadable(UnreadableFields(std::get<TWanSettings>(checked))) ||
        !Confirmed(QStringLiteral("WAN 설정값을 저장한 후, 시스템이 Rebooting됩니다. 진행하시겠습니까?? ")))
        return;
    link_.SaveWanSettings(std::get<TWanSettings>(checked));
}

void TForm_main::Btn_Save_Config_ServerClick()
{
    const Ui::TPage_Status& page = *statusPage_;
    TTcpTexts texts;
    texts.listenPort = Text(page.Edit_Server_Port);
    texts.expiryTime = page.CB_Server_ExpTime->currentText().toStdString();
    texts.mode = RadioGroupIndex(page.RG_TCP_Mode) == 0 ? TTcpMode::Server : TTcpMode::Client;
    texts.targetPort = Text(page.Edit_SvrPort_app);
    texts.targetIp = Texts(page.Edit_SvrIP1, page.Edit_SvrIP2, page.Edit_SvrIP3, page.Edit_SvrIP4);
    const auto checked = CheckTcpSettings(link_.StatusReceived(), texts);
    if (ShowRefusal(std::get_if<TRefusal>(&checked)) ||
        !AgreedToUnreadable(UnreadableFields(std::get<TTcpSettings>(checked))) ||
        !Confirmed(QStringLiteral("TCP 설정값을 저장한 후, 시스템이 Rebooting됩니다. 진행하시겠습니까?? ")))
        return;
    link_.SaveTcpSettings(std::get<TTcpSettings>(checked));
}

void TForm_main::Btn_Save_Config_SerialClick()
{
    const Ui::TPage_Status& page = *statusPage_;
    const TSerialSettings settings{page.CB_Baudrate->currentIndex(), page.CB_Databits->currentIndex(),
                                   page.CB_Stopbits->currentIndex(), page.CB_Parity->currentIndex(),
                                   page.CB_Flow->currentIndex()};
    const auto checked = CheckSerialSettings(link_.StatusReceived(), settings);
    if (ShowRefusal(std::get_if<TRefusal>(&checked)) ||
        !Confirmed(QStringLiteral("Serial 설정 변경 저장 후, 시스템이 Rebooting됩니다. 진행하시겠습니까?? ")))
        return;
    link_.SaveSerialSettings(std::get<TSerialSettings>(checked));
}

void TForm_main::RG_TCP_ModeClick()
{
    UpdateTcpModeView();
}

} // namespace r7730
