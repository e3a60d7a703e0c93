#pragma once
// TForm_main: the program's one working window.
//
// The window owns every control, the serial port and the program-wide receive state. Its
// methods are the event handlers of the controls, named after control and event; each group
// below is defined in the file named in its heading, in the folder of its subsystem. Every
// handler runs inside RunGuarded, so no exception reaches Qt's event loop.
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "app/event_log_file.h"
#include "protocol/frame.h"
#include "protocol/receive_path.h"
#include "serial/com_port.h"

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

    // --- operations/form_main_connect.cpp: connect, disconnect, the send step -----------
    void ButtonStartClick();
    void ButtonStopClick();
    void ComPortEnvBoardError(TComErrors errors);
    void ComPortEnvBoardHangUp();
    void SendCommandFrame(const TFrame& frame, const QString& idText, const QString& tail);
    void Btn_CurrentStatusClick();
    void Btn_InitGridClick();

    // --- protocol/form_main_receive.cpp: the receive path -------------------------------
    void ComPortEnvBoardRxChar(int count);

    // --- protocol/form_main_replies.cpp: reply handlers ---------------------------------
    void ShowStatusReply();
    void UpdateTcpModeView();
    void FillScanGrid();
    void ShowCurrentApReply();
    void ShowRssiReply();

    // The serial port of the device; closed at start.
    TComPort* ComPortEnvBoard = nullptr;
    // The frame being received, kept across events, connects and disconnects.
    TReceivePath RxPath;

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
    void CreateSerialPort();
    void WireDeviceLink();
    void SwitchConnectionControls(bool connected);
    void ReportOpenFailure(const EComPort& error);
    void HandleCompletedFrame();
    void HandleOverflowedFrame(int droppedBytes);

    // Hands finished frames from the receive path to the window.
    class TFrameSink : public IReceiveSink {
    public:
        explicit TFrameSink(TForm_main& form) : form_(form) {}
        void FrameCompleted() override { form_.HandleCompletedFrame(); }
        void FrameOverflowed(int droppedBytes) override { form_.HandleOverflowedFrame(droppedBytes); }

    private:
        TForm_main& form_;
    };
    TFrameSink frameSink_{*this};

    TFormServices services_;
    TForm_Info* infoForm_ = nullptr;
    TEventLogFile logFile_;
    // Displayed rows of each line in the log view, counted at memoWidth_.
    std::vector<int> memoLineRows_;
    int memoRows_ = 0;
    qreal memoWidth_ = 0;
    bool activated_ = false;
    // Settings texts as read from the file, by edit box: a box holds at most its length
    // limit, so a longer value is written back as it was read unless the user changed it.
    std::map<QString, QString> loadedSettingTexts_;
};

} // namespace r7730
