// The local tools: the HTTP file server for firmware downloads, its connection test in the
// browser, a ping of the device and the simulator. Each is started and left to run; a launch
// that cannot start is told in the log, and the program goes on.
#include <QLineEdit>
#include <QPushButton>

#include "tools/launcher.h"
#include "tools/local_address.h"
#include "tools/local_tools.h"
#include "window/widgets/dialogs.h"
#include "window/form_main.h"
#include "ui_form_main.h"
#include "ui_form_main_status.h"
#include "ui_form_main_maintenance.h"

namespace r7730 {

void TForm_main::WireLocalTools()
{
    Wire(statusPage_->Btn_ping, &TForm_main::Btn_pingClick);
}

void TForm_main::WireMaintenanceTools()
{
    const Ui::TPage_Maintenance& page = *maintenancePage_;
    Wire(page.Btn_StartSvr, &TForm_main::Btn_StartSvrClick);
    Wire(page.Btn_TestHttpServer, &TForm_main::Btn_TestHttpServerClick);
    Wire(page.Btn_simulator, &TForm_main::Btn_simulatorClick);
}

bool TForm_main::LaunchTool(const TLaunchRequest& request)
{
    const TLaunchResult result = services_.launcher.Launch(request);
    if (!result.started)
        AddLogLine(QString::fromStdString(result.reason));
    return result.started;
}

void TForm_main::Btn_StartSvrClick()
{
    const QString port = maintenancePage_->Edit_HttpSvr_Port->text();
    if (!IsHttpServerPort(port.toStdString())) {
        services_.dialogs.Notice(QStringLiteral("HTTP Server Port는 1 ~ 65535 정수만 가능합니다. [Default Port : 8070]"));
        return;
    }
    AddLogLine(QStringLiteral("Starting HTTP Server on[http://%1:%2]").arg(QString::fromStdString(GetLocalIP()), port));
    LaunchTool(HttpServerLaunch(port.toStdString(), maintenancePage_->Edit_HomeDir->text().toStdString()));
}

void TForm_main::Btn_TestHttpServerClick()
{
    LaunchTool(BrowserLaunch(HttpServerUrl(GetLocalIP(), maintenancePage_->Edit_HttpSvr_Port->text().toStdString())));
}

void TForm_main::Btn_pingClick()
{
    const Ui::TPage_Status& page = *statusPage_;
    const QString address =
        QStringList{page.Edit_IP1->text(), page.Edit_IP2->text(), page.Edit_IP3->text(), page.Edit_IP4->text()}.join(
            QLatin1Char('.'));
    if (LaunchTool(PingLaunch(address.toStdString())))
        AddLogLine(QStringLiteral("Starting ping test to [%1]").arg(address));
}

void TForm_main::Btn_simulatorClick()
{
    LaunchTool(SimulatorLaunch());
}

} // namespace r7730
