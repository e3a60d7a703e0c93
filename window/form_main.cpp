#include "window/form_main.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLayout>
#include <exception>

#include "window/widgets/dialogs.h"
#include "window/frames/form_frames.h"
#include "window/form_info.h"
#include "window/form_main_look.h"
#include "window/widgets/program_title.h"
#include "window/survey/survey_window.h"
#include "window/widgets/fonts.h"
#include "window/widgets/page_control.h"
#include "window/widgets/typing_limit.h"
#include "ui_form_main.h"
#include "ui_form_main_status.h"
#include "ui_form_main_access_point.h"
#include "ui_form_main_maintenance.h"

namespace r7730 {
TForm_main::TForm_main(const TFormServices& services, QWidget* parent, TBackPages backPages)
    : QWidget(parent), ui(new Ui::TForm_main), services_(services)
{
    // The window's font first, so the controls take it as they are made instead of all being
    // told again afterwards.
    setFont(DefaultFont(11));
    ui->setupUi(this);
    BuildStatusPage();
    FillSerialChoices();
    LimitTypingOnly(this);
    setWindowTitle(kProgramTitle);
    ui->Memo->setUndoRedoEnabled(false); // a read-only log: nothing to undo, nothing to keep
    ApplyMainWindowLook(*ui);
    SetUpPageControl();
    CreateSignalPollingTimer();
    // Lay the window out now, so the log view has its real width for the start line.
    layout()->activate();
    ui->Memo->RecountRows();
    ui->Memo->SetRefreshGuard([this](const std::function<void()>& refresh) { RunGuarded(refresh); });
    WireShell();
    WireDeviceLink();
    WireSettingsSaves();
    const Ui::TPage_Status& page = *statusPage_;
    WireNumericFields({page.Edit_IP1, page.Edit_IP2, page.Edit_IP3, page.Edit_IP4, page.Edit_GW1, page.Edit_GW2,
                       page.Edit_GW3, page.Edit_GW4, page.Edit_SM1, page.Edit_SM2, page.Edit_SM3, page.Edit_SM4,
                       page.Edit_SvrIP1, page.Edit_SvrIP2, page.Edit_SvrIP3, page.Edit_SvrIP4},
                      {page.CB_Server_ExpTime, page.Edit_Server_Port, page.Edit_SvrPort_app});
    WirePortSetup();
    WireLocalTools();
    WireFrameInspector();
    if (backPages == TBackPages::WithTheWindow)
        BuildBackPages();
    else
        backPagesWaitForPaint_ = true;
    RunGuarded([this] { FormCreate(); });
}

TForm_main::~TForm_main()
{
    FormDestroy();
    delete framesForm_; // it watches the frame store, which goes with the members
    delete statusPage_;
    delete accessPointPage_;
    delete maintenancePage_;
    delete ui;
}

void TForm_main::RunGuarded(const std::function<void()>& handler)
{
    try {
        // After the first paint, whatever a handler does finds the back pages built.
        if (backPagesDue_)
            BuildBackPages();
        handler();
    } catch (const std::exception& error) {
        services_.dialogs.ErrorReport(QString::fromUtf8(error.what()));
    } catch (...) {
        services_.dialogs.ErrorReport(QStringLiteral("Unknown error"));
    }
}

void TForm_main::Wire(QAbstractButton* button, void (TForm_main::*handler)())
{
    connect(button, &QAbstractButton::clicked, this, [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
}

void TForm_main::SetUpPageControl()
{
    ui->PageControl1->SetTabPainter([this](QPainter& painter, int tabIndex, const QRect& rect, bool active) {
        PageControl1DrawTab(painter, tabIndex, rect, active);
    });
}

void TForm_main::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!activated_) {
        activated_ = true;
        RunGuarded([this] { FormActivate(); });
    }
}

void TForm_main::closeEvent(QCloseEvent* event)
{
    RunGuarded([this] { FormClose(); });
    event->accept();
}

} // namespace r7730
