#pragma once
// TForm_main: the program's one working window.
//
// The window owns every control, the serial port and the program-wide receive state. Its
// methods are the event handlers of the controls, named after control and event; each group
// below is defined in the file named in its heading, in the folder of its subsystem. Every
// handler runs inside RunGuarded, so no exception reaches Qt's event loop.
#include <QWidget>
#include <functional>
#include <vector>

#include "app/event_log_file.h"

class QAbstractButton;
class QPainter;
class QRect;
class QTimer;

namespace Ui {
class TForm_main;
}

namespace r7730 {

class IClock;
class IDialogs;
class ILauncher;
class TForm_Info;

// What the window is handed: message boxes, the clock and program launches.
struct TFormServices {
    IDialogs& dialogs;
    const IClock& clock;
    ILauncher& launcher;
};

class TForm_main : public QWidget {
    Q_OBJECT

public:
    explicit TForm_main(const TFormServices& services, QWidget* parent = nullptr);
    ~TForm_main() override;

    // --- app/form_main_shell.cpp: start-up, shutdown, about box -------------------------
    void FormCreate();
    void FormActivate();
    void FormClose();
    void FormDestroy();
    void BtnExitClick();
    void Btn_ViewInfoClick();
    void SetInfoForm(TForm_Info* infoForm) { infoForm_ = infoForm; }
    QString VersionText() const;

    // --- app/form_main_log.cpp: the event log -------------------------------------------
    void AddLogLine(const QString& message);
    void Btn_ClearClick();
    int LogViewRowCount() const { return memoRows_; }

    // --- app/form_main_settings.cpp: the settings file ----------------------------------
    void LoadSettings();
    void SaveSettings();

    // --- app/form_main_admin.cpp, app/page_control.cpp: tabs and the admin view ----------
    void PageControl1DrawTab(QPainter& painter, int tabIndex, const QRect& rect, bool active);
    void SetAdminView(bool visible);
    void Btn_ViewAdminClick();
    void EditViewAdminPWKeyDown(int key);

    // The signal-polling timer: disabled, 3000 ms at start.
    QTimer* Timer_AutoQryRSSI = nullptr;

    // Runs one handler; an escaped exception goes to the error report and the program goes on.
    void RunGuarded(const std::function<void()>& handler);

    Ui::TForm_main* ui;

    // Set by the first complete status reply, never cleared: the save commands need it.
    int StatusReceived = 0;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Connects a button's click to a handler, inside the guard.
    void Wire(QAbstractButton* button, void (TForm_main::*handler)());
    void WireShell();
    int DisplayedRows(const QString& line, qreal width) const;
    qreal LogViewTextWidth() const;
    void AppendToLogView(const QString& line);
    void RecountLogViewRows();

    TFormServices services_;
    TForm_Info* infoForm_ = nullptr;
    TEventLogFile logFile_;
    // Displayed rows of each line in the log view, counted at memoWidth_.
    std::vector<int> memoLineRows_;
    int memoRows_ = 0;
    qreal memoWidth_ = 0;
    bool activated_ = false;
};

} // namespace r7730
