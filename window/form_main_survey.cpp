// Opening the signal survey window: from the context menu of the signal panel and of the scan
// grid ("Signal survey…"), or with Ctrl+Shift+S, only while connected. The survey is a window
// of its own (window/survey/survey_window.h); the main window only opens it.
#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QShortcut>
#include <QTableWidget>

#include "window/form_main.h"
#include "window/survey/survey_window.h"
#include "ui_form_main.h"
#include "ui_form_main_access_point.h"

namespace r7730 {

void TForm_main::WireSignalSurvey()
{
    surveyMenu_ = new QMenu(this);
    surveyMenu_->setObjectName(QStringLiteral("Menu_SignalSurvey"));
    QAction* open = surveyMenu_->addAction(QStringLiteral("Signal survey…"));
    open->setObjectName(QStringLiteral("Action_SignalSurvey"));
    open->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    connect(open, &QAction::triggered, this, [this] { RunGuarded([this] { Action_SignalSurveyExecute(); }); });
    const Ui::TPage_AccessPoint& page = *accessPointPage_;
    for (QWidget* area : std::initializer_list<QWidget*>{page.Panel_Info_CurrentAP_RSSI, page.APList_Grid}) {
        area->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(area, &QWidget::customContextMenuRequested, this, [this, open] {
            RunGuarded([this, open] {
                open->setEnabled(link_.Connected());
                surveyMenu_->popup(QCursor::pos());
            });
        });
    }
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")), this);
    shortcut->setObjectName(QStringLiteral("Shortcut_SignalSurvey"));
    connect(shortcut, &QShortcut::activated, this, [this] { RunGuarded([this] { Action_SignalSurveyExecute(); }); });
}

void TForm_main::Action_SignalSurveyExecute()
{
    if (!link_.Connected())
        return;
    if (!surveyWindow_)
        surveyWindow_ = std::make_unique<TSurveyWindow>(link_, [this](const std::function<void()>& handler) { RunGuarded(handler); }, this);
    surveyWindow_->show();
    surveyWindow_->raise();
    surveyWindow_->activateWindow();
}

} // namespace r7730
