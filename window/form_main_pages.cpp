// The window's pages: the status page and the back pages (the access point page and the
// maintenance page). Each comes from its own form file and is set up inside its tab's sheet,
// which the window's form file holds empty, so its controls are made with the sheet's face.
// Building a back page means what the constructor does for the status page: its controls, their
// look and typing limits, the wiring of its handlers, and the settings it shows.
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "window/form_main.h"
#include "window/form_main_look.h"
#include "window/widgets/typing_limit.h"
#include "ui_form_main.h"
#include "ui_form_main_access_point.h"
#include "ui_form_main_maintenance.h"
#include "ui_form_main_status.h"

namespace r7730 {
namespace {

// A page's controls made inside its sheet: the sheet's face first, so they are made with it,
// then the page's own look.
template <typename TPage>
TPage* SetUpPage(QWidget* sheet, void (*applyLook)(QWidget*, TPage&))
{
    auto* page = new TPage;
    PrepareSheetLook(sheet);
    page->setupUi(sheet);
    applyLook(sheet, *page);
    return page;
}

} // namespace

void TForm_main::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!backPagesWaitForPaint_)
        return;
    // The window is on the screen: the back pages are built in the next pass, or by the first
    // handler that runs before it.
    backPagesWaitForPaint_ = false;
    backPagesDue_ = true;
    QTimer::singleShot(0, this, [this] { RunGuarded([this] { BuildBackPages(); }); });
}

void TForm_main::BuildBackPages()
{
    backPagesWaitForPaint_ = false;
    backPagesDue_ = false;
    if (BackPagesBuilt())
        return;
    // Controls made inside a visible widget stay hidden until shown one by one: a sheet already
    // on the screen (its tab was chosen before the build) is hidden while they are made, so
    // they come up with it.
    std::vector<QWidget*> onScreen;
    for (QWidget* sheet : {ui->TabSheet2, ui->TabSheet3}) {
        if (sheet->isVisible()) {
            onScreen.push_back(sheet);
            sheet->hide();
        }
    }
    BuildAccessPointPage();
    BuildMaintenancePage();
    KeepLogLastInTabOrder();
    for (QWidget* sheet : onScreen)
        sheet->show();
    // A window already shown has read the settings file; these are the ones its pages show.
    if (activated_)
        LoadEditBoxSettings();
}

void TForm_main::BuildStatusPage()
{
    statusPage_ = SetUpPage(ui->TabSheet1, ApplyStatusPageLook);
    KeepLogLastInTabOrder();
}

void TForm_main::KeepLogLastInTabOrder()
{
    // Tab order follows the order controls are made in, and the pages' controls are made after
    // the log view: Tab still goes through the top bar and the pages before the log.
    QWidget* lastStop = nullptr;
    for (QWidget* widget = nextInFocusChain(); widget != this; widget = widget->nextInFocusChain()) {
        if (widget != ui->Memo && !ui->Memo->isAncestorOf(widget) && widget->focusPolicy() != Qt::NoFocus)
            lastStop = widget;
    }
    if (lastStop)
        setTabOrder(lastStop, ui->Memo);
}

void TForm_main::BuildAccessPointPage()
{
    accessPointPage_ = SetUpPage(ui->TabSheet2, ApplyAccessPointPageLook);
    LimitTypingOnly(ui->TabSheet2);
    WireAccessPointCommands();
    WireSignalPolling();
    WireScanGrid();
    WireSignalSurvey();
    LayOutScanGridFirstUse();
}

void TForm_main::BuildMaintenancePage()
{
    maintenancePage_ = SetUpPage(ui->TabSheet3, ApplyMaintenancePageLook);
    const Ui::TPage_Maintenance& page = *maintenancePage_;
    LimitTypingOnly(ui->TabSheet3);
    WireAdminView();
    WireMaintenanceCommands();
    WireMaintenanceTools();
    WireNumericFields({page.Edit_DL_IP1, page.Edit_DL_IP2, page.Edit_DL_IP3, page.Edit_DL_IP4, page.Edit_DL_Tcp_IP1,
                       page.Edit_DL_Tcp_IP2, page.Edit_DL_Tcp_IP3, page.Edit_DL_Tcp_IP4},
                      {page.Edit_FlashSaveInt, page.Edit_DL_Port, page.Edit_DL_Tcp_Port, page.Edit_HttpSvr_Port});
}

} // namespace r7730
