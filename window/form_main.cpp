#include "window/form_main.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLayout>
#include <QTimer>
#include <exception>

#include "window/dialogs.h"
#include "window/fonts.h"
#include "window/form_info.h"
#include "window/form_main_look.h"
#include "window/page_control.h"
#include "window/typing_limit.h"
#include "window/program_title.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

constexpr int kSignalPollingMs = 3000;

} // namespace

TForm_main::TForm_main(const TFormServices& services, QWidget* parent)
    : QWidget(parent), ui(new Ui::TForm_main), services_(services)
{
    // The window's font first, so the controls take it as they are made instead of all being
    // told again afterwards.
    setFont(DefaultFont(11));
    ui->setupUi(this);
    FillSerialChoices();
    LimitTypingOnly(this);
    setWindowTitle(kProgramTitle);
    ui->Memo->setFont(LogFont(12));
    ui->Memo->setUndoRedoEnabled(false); // a read-only log: nothing to undo, nothing to keep
    ApplyMainWindowLook(*ui);
    SetUpPageControl();
    CreateSignalPollingTimer();
    // Lay the window out now, so the log view has its real width for the start line.
    layout()->activate();
    RecountLogViewRows();
    ui->Memo->installEventFilter(this);
    WireShell();
    WireAdminPasswordKeys();
    WireDeviceLink();
    WireDeviceCommands();
    WireNumericFields();
    WireScanGrid();
    WirePortSetup();
    WireLocalTools();
    RunGuarded([this] { FormCreate(); });
}

TForm_main::~TForm_main()
{
    FormDestroy();
    delete ui;
}

void TForm_main::RunGuarded(const std::function<void()>& handler)
{
    try {
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

void TForm_main::WireShell()
{
    Wire(ui->BtnExit, &TForm_main::BtnExitClick);
    Wire(ui->Btn_ViewInfo, &TForm_main::Btn_ViewInfoClick);
    Wire(ui->Btn_Clear, &TForm_main::Btn_ClearClick);
    Wire(ui->Btn_ViewAdmin, &TForm_main::Btn_ViewAdminClick);
}

void TForm_main::SetUpPageControl()
{
    ui->PageControl1->SetTabPainter([this](QPainter& painter, int tabIndex, const QRect& rect, bool active) {
        PageControl1DrawTab(painter, tabIndex, rect, active);
    });
}

void TForm_main::CreateSignalPollingTimer()
{
    Timer_AutoQryRSSI = new QTimer(this);
    Timer_AutoQryRSSI->setObjectName(QStringLiteral("Timer_AutoQryRSSI"));
    Timer_AutoQryRSSI->setInterval(kSignalPollingMs);
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
