#pragma once
// TForm_main: the program's one working window.
//
// The window owns every control and the device link (device/device_link.h), which owns the
// serial port. Its methods are the event handlers of the controls, named after control and
// event; each group below is defined in the file of window/ named in its heading. A handler
// reads controls, calls the device link, writes controls. Every handler runs inside
// RunGuarded, so no exception reaches Qt's event loop. Tests find the controls by their
// object names.
//
// The form is the frame (top bar, tabs, log) and three pages, each from a form file of its
// own: the status page, built with the window, and two back pages, the access point page and
// the maintenance page. The program builds the back pages in the pass after the window's first
// paint, since nobody sees them before; until then the window does nothing that reaches them
// (the port is closed, no handler has run), and any guarded handler or the closing window
// builds them first.
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "device/command_checks.h"
#include "device/device_link.h"
#include "device/frame_store.h"
#include "device/unreadable_values.h"
#include "serial/com_port_watch.h"
#include "shell/event_log_file.h"
#include "shell/profile_file.h"
#include "window/widgets/com_setup_dialog.h"

class QAbstractButton;
class QLineEdit;
class QMenu;
class QPainter;
class QPoint;
class QRect;
class QTimer;

namespace Ui {
class TForm_main;
class TPage_AccessPoint;
class TPage_Maintenance;
class TPage_Status;
}

namespace r7730 {

class IClock;
class IDialogs;
class ILauncher;
class TForm_Frames;
class TForm_Info;
class TSurveyWindow;
struct TLaunchRequest;

// What the window is handed: message boxes, the clock and program launches.
struct TFormServices {
    IDialogs& dialogs;
    const IClock& clock;
    ILauncher& launcher;
};

class TForm_main : public QWidget {
    Q_OBJECT

public:
    // When the back pages are built: with the window, or after its first paint.
    enum class TBackPages { WithTheWindow, AfterFirstPaint };

    explicit TForm_main(const TFormServices& services, QWidget* parent = nullptr,
                        TBackPages backPages = TBackPages::WithTheWindow);
    ~TForm_main() override;

    // --- form_main_pages.cpp: the back pages --------------------------------------------
    // Builds them unless built: controls, look, typing limits, wiring, and the settings they show.
    void BuildBackPages();
    bool BackPagesBuilt() const { return accessPointPage_ != nullptr; }

    // The link to the device and its port.
    TDeviceLink& DeviceLink() { return link_; }

    // Runs one handler; an escaped exception goes to the error report and the program goes on.
    void RunGuarded(const std::function<void()>& handler);

    // --- form_main_shell.cpp: start-up, shutdown, about box -----------------------------
    void FormCreate();
    void FormActivate();
    void FormClose();
    void FormDestroy();
    void BtnExitClick();
    void Btn_ViewInfoClick();
    void SetInfoForm(TForm_Info* infoForm) { infoForm_ = infoForm; }
    QString VersionText() const;

    // --- form_main_log.cpp: the event log -----------------------------------------------
    // frame: the frame store's number of the frame the line shows; 0 for none.
    void AddLogLine(const QString& message, std::uint64_t frame = 0);
    void Btn_ClearClick();
    // Puts the lines logged since the view's last refresh into the view now (the refresh does it
    // a few milliseconds later); for code that reads the view's text.
    void ShowWaitingLogLines();

    // --- form_main_frames.cpp: the frames inspector -------------------------------------
    // Opens the frames window on that frame, or at the newest frame.
    void InspectFrames(std::optional<std::uint64_t> sequence = std::nullopt);
    // The log view's own menu, and "Inspect frames…" on the frame of the line under the pointer.
    void MemoContextPopup(const QPoint& pos);
    // Every frame since start-up.
    TFrameStore& FrameStore() { return frameStore_; }
    TForm_Frames* FramesForm() const { return framesForm_; }

    // --- form_main_settings.cpp: the settings file --------------------------------------
    void LoadSettings();
    void SaveSettings();

    // --- form_main_admin.cpp: tabs and the admin view -----------------------------------
    void PageControl1DrawTab(QPainter& painter, int tabIndex, const QRect& rect, bool active);
    void SetAdminView(bool visible);
    void Btn_ViewAdminClick();
    void EditViewAdminPWKeyDown(int key);

    // --- form_main_connect.cpp: connect, disconnect, the status query -------------------
    void ButtonStartClick();
    void ButtonStopClick();
    void Btn_CurrentStatusClick();

    // --- form_main_settings_saves.cpp: WAN, TCP and serial settings ---------------------
    void Btn_Save_Config_WanClick();
    void Btn_Save_Config_ServerClick();
    void Btn_Save_Config_SerialClick();
    void RG_TCP_ModeClick();

    // --- form_main_numeric_fields.cpp: the key filter and field advance of number boxes -
    // True when the typed text (a key's character, or what an input method commits) may enter
    // the box; otherwise tells the user.
    bool Edit_IP1KeyPress(const QString& typed);
    void Edit_IP1KeyDown(int key);

    // --- form_main_access_point.cpp: access point commands ------------------------------
    void Btn_Get_CurrentAPClick(QObject* sender);
    void Btn_Set_CurrentAPClick();
    void CB_Manual_set_APClick();

    // --- form_main_scan_grid.cpp: the scan grid's shapes, drawing and double click ------
    void LayOutScanGridFirstUse();
    void Btn_InitGridClick();
    // Draws the cell's text after the grid has drawn the cell, with the painter's pen as the
    // grid left it (the highlighted-text colour on a selected cell).
    void APList_GridDrawCell(QPainter& painter, int row, int column, const QRect& rect, const QString& text);
    void APList_GridDblClick();

    // --- form_main_signal_polling.cpp: signal polling -----------------------------------
    void CB_RSSI_AutoChkClick();
    void CB_Chk_RSSI_IntervalChange();
    void Timer_AutoQryRSSITimer();

    // --- form_main_survey.cpp: opening the signal survey window --------------------------
    void Action_SignalSurveyExecute();
    // The survey window once opened; null before.
    TSurveyWindow* SurveyWindow() const { return surveyWindow_.get(); }

    // --- form_main_maintenance.cpp: maintenance commands --------------------------------
    void Btn_FactoryResetClick();
    void Btn_SystemRebootClick();
    void Btn_FlashEraseClick();
    void Btn_FlashSaveIntClick();
    void Btn_FW_DLClick();

    // --- form_main_replies.cpp: reply handlers ------------------------------------------
    void ShowStatusReply(const TStatusReply& reply);
    void UpdateTcpModeView();
    void FillScanGrid(const TScanReply& reply);
    void ShowCurrentApReply(const TCurrentApReply& reply);
    void ShowRssiReply(const TSignalReply& reply);

    // --- form_main_port_setup.cpp: port setup and status lamps --------------------------
    void Btn_ComSetupClick();
    // Where the setup dialog's port list comes from: the system's serial ports unless set.
    void SetPortSource(TPortSource source) { portSource_ = std::move(source); }

    // --- form_main_tools.cpp: local tools -----------------------------------------------
    void Btn_StartSvrClick();
    void Btn_TestHttpServerClick();
    void Btn_pingClick();
    void Btn_simulatorClick();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The window's side of the device link: every call runs inside the guard.
    class TLinkListener : public IDeviceListener {
    public:
        explicit TLinkListener(TForm_main& form) : form_(form) {}
        void LogLine(const QString& line) override;
        void FrameLogLine(const QString& line, const TShownFrame& frame) override;
        void SendRefused(const QString& text) override;
        void StatusReplied(const TStatusReply& reply) override;
        void ScanReplied(const TScanReply& reply) override;
        void CurrentApReplied(const TCurrentApReply& reply) override;
        void SignalReplied(const TSignalReply& reply) override;
        void DeviceLost() override;

    private:
        TForm_main& form_;
    };

    // Every signal is connected in a wiring function beside its area's handlers, through Wire
    // or another guarded connect. The private helpers below are grouped like the handlers.

    // --- form_main.cpp: the guarded connect of a button, the tabs' painter --------------
    void Wire(QAbstractButton* button, void (TForm_main::*handler)());
    void SetUpPageControl();

    // --- form_main_pages.cpp: building the pages ----------------------------------------
    void BuildStatusPage();
    void KeepLogLastInTabOrder();
    void BuildAccessPointPage();
    void BuildMaintenancePage();

    // --- form_main_shell.cpp ------------------------------------------------------------
    void WireShell();

    // --- form_main_frames.cpp -----------------------------------------------------------
    void WireFrameInspector();
    // The stored number of the frame a line shows: the newest frame, when it is that frame; 0
    // when the store does not hold it.
    std::uint64_t StoredFrameOf(const TShownFrame& frame) const;

    // --- form_main_settings.cpp ---------------------------------------------------------
    void LoadPortSettings();
    void LoadEditBoxSettings();
    QString ReadSetting(const char* section, const char* key, const char* defaultValue);
    TProfileEntry SettingToWrite(const char* section, const char* key, const QString& text) const;

    // --- form_main_admin.cpp ------------------------------------------------------------
    void WireAdminView();

    // --- form_main_connect.cpp ----------------------------------------------------------
    void WireDeviceLink();
    void SwitchConnectionControls(bool connected);
    void ReportOpenFailure(const TOpenFailure& failure);
    void ReportDeviceLost();
    // After a lost device: its port came back; asks once to connect again.
    void PortCameBack();
    // The port went again while the question about its return was up: the question is withdrawn.
    void PortWentAgain();

    // --- form_main_settings_saves.cpp ---------------------------------------------------
    void WireSettingsSaves();
    void FillSerialChoices();
    // Shows a refused input (its message, then the focus to its field); false for none.
    bool ShowRefusal(const TRefusal* refusal);
    // A device command's question box: only No cancels.
    bool Confirmed(const QString& question);
    // Before a save that carries a value the device cannot report back (device/unreadable_values.h):
    // asks, and only Yes goes on; otherwise the focus goes to the first such field. True when
    // there is none.
    bool AgreedToUnreadable(const std::vector<TUnreadableField>& fields);
    QWidget* UnreadableFieldBox(TUnreadableField field) const;

    // --- form_main_numeric_fields.cpp ---------------------------------------------------
    void WireNumericFields(std::initializer_list<QLineEdit*> addressBoxes, std::initializer_list<QWidget*> otherNumberBoxes);

    // --- form_main_access_point.cpp -----------------------------------------------------
    void WireAccessPointCommands();

    // --- form_main_scan_grid.cpp --------------------------------------------------------
    void WireScanGrid();

    // --- form_main_signal_polling.cpp ---------------------------------------------------
    // The timer is made with the window; its two controls are wired with the access point page.
    void CreateSignalPollingTimer();
    void WireSignalPolling();

    // --- form_main_survey.cpp -----------------------------------------------------------
    void WireSignalSurvey();

    // --- form_main_maintenance.cpp ------------------------------------------------------
    void WireMaintenanceCommands();

    // --- form_main_port_setup.cpp -------------------------------------------------------
    void WirePortSetup();

    // --- form_main_tools.cpp ------------------------------------------------------------
    void WireLocalTools();
    void WireMaintenanceTools();
    // Starts a local tool; when it cannot start, the reason goes to the log. True when started.
    bool LaunchTool(const TLaunchRequest& request);

    Ui::TForm_main* ui;
    Ui::TPage_Status* statusPage_ = nullptr;
    // The back pages' controls; null until built.
    Ui::TPage_AccessPoint* accessPointPage_ = nullptr;
    Ui::TPage_Maintenance* maintenancePage_ = nullptr;
    // The back pages wait for the first paint; once it is done they are due.
    bool backPagesWaitForPaint_ = false;
    bool backPagesDue_ = false;
    TFormServices services_;
    // Every frame the link sends and receives; made before the link, which tells it.
    TFrameStore frameStore_;
    TLinkListener linkListener_{*this};
    // The port's events run inside the guard, like every handler.
    TDeviceLink link_{linkListener_, [this](const std::function<void()>& step) { RunGuarded(step); }};
    // The signal-polling timer: disabled, 3000 ms at start.
    QTimer* Timer_AutoQryRSSI = nullptr;
    TForm_Info* infoForm_ = nullptr;
    TForm_Frames* framesForm_ = nullptr; // made when first opened
    TEventLogFile logFile_;
    bool activated_ = false;
    // Settings as read from the file, by "section/key": their bytes and the text shown.
    struct TLoadedSetting {
        std::string bytes;
        QString text;
    };
    std::map<std::string, TLoadedSetting> loadedSettings_;
    TPortSource portSource_;
    // Follows the lost device's port until it is back, the user connects, or the window closes.
    TPortReturnWatch portReturn_{[this] { RunGuarded([this] { PortCameBack(); }); },
                                 [this] { RunGuarded([this] { PortWentAgain(); }); }};
    bool deviceLostNoticeOpen_ = false;
    bool portBackWhileBusy_ = false;
    bool reconnectQuestionOpen_ = false;
    bool reconnectQuestionWithdrawn_ = false;
    QMenu* surveyMenu_ = nullptr;
    // Last: it watches the link, so it goes before the link does.
    std::unique_ptr<TSurveyWindow> surveyWindow_;
};

} // namespace r7730
