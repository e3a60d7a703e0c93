#pragma once
// The "Signal survey" window: the joined access point's signal over time while a technician
// walks the unit from spot to spot, the access points of every scan merged over the session,
// how crowded each channel is, and the session's export.
//
// Principles of operation. The window sends its own signal reads at its interval (and a scan
// every so often, when asked), and takes every signal and scan reply on the link as a reading,
// whoever asked: the main window's polling goes on exactly as before and counts too
// (survey/survey_recorder.h says how each reading knows who asked). It records while it is
// shown; hidden, it keeps its session and sends nothing. A read of its own left unanswered for
// its interval (a second at least) counts as unanswered and the next goes out on time. On a
// closed port it sends nothing and says so. The export and the chart's picture go through the
// one writer of whole files (shell/whole_file.h). The views are brought up to date at most every 100 ms, so a burst of replies costs
// one repaint.
#include <QWidget>
#include <memory>

#include "device/device_link.h"
#include "survey/survey_recorder.h"
#include "survey/survey_session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;
class QTimer;

namespace r7730 {

class TChannelBars;
class TStripChart;
class TSurveyAccessPointFilter;
class TSurveyAccessPointModel;

class TSurveyWindow : public QWidget {
    Q_OBJECT

public:
    // guard: runs each handler, so no exception reaches Qt's event loop (the main window's).
    TSurveyWindow(TDeviceLink& link, TEventGuard guard, QWidget* parent = nullptr);
    ~TSurveyWindow() override;

    const TSurveySession& Session() const { return session_; }
    TStripChart& Chart() const { return *Chart_Survey; }
    TChannelBars& ChannelBars() const { return *Bars_SurveyChannels; }

    // The handlers of the window's controls.
    void Btn_SurveyMarkerClick();
    void Btn_SurveyNewClick();
    void Btn_SurveyExportCsvClick();
    void Btn_SurveySavePngClick();
    void CB_SurveyIntervalChange();
    void CB_SurveyWindowChange();
    void CB_SurveyScanEveryChange();
    void SurveyTimerTick();
    void ScanTimerTick();

    // The export itself, to a file named: false with the reason in the status line on failure.
    bool ExportCsv(const QString& path);
    bool SaveChartPng(const QString& path);
    // Brings every view up to date now (they follow by themselves within 100 ms).
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class TChartData;
    void BuildControls();
    void Wire();
    void ScheduleRefresh();
    void ShowStatistics();
    void ShowSegments();
    void ShowChannels();
    // The note after the counts in the state line (an export written, say).
    void ShowState(const QString& note);

    TDeviceLink& link_;
    TEventGuard guard_;
    TSurveySession session_;
    std::unique_ptr<TSurveyRecorder> recorder_; // while shown
    std::unique_ptr<TChartData> chartData_;

    QComboBox* CB_SurveyInterval = nullptr;
    QComboBox* CB_SurveyWindow = nullptr;
    QComboBox* CB_SurveyScanEvery = nullptr;
    QPushButton* Btn_SurveyMarker = nullptr;
    QPushButton* Btn_SurveyNew = nullptr;
    QPushButton* Btn_SurveyExportCsv = nullptr;
    QPushButton* Btn_SurveySavePng = nullptr;
    QLabel* Lb_SurveyState = nullptr;
    QLabel* Lb_SurveyRssi = nullptr;
    QLabel* Lb_SurveyQuality = nullptr;
    TStripChart* Chart_Survey = nullptr;
    QTableWidget* Grid_SurveySegments = nullptr;
    TChannelBars* Bars_SurveyChannels = nullptr;
    QLineEdit* Edit_SurveySsidFilter = nullptr;
    QSpinBox* Spin_SurveyMinRssi = nullptr;
    QTableView* Grid_SurveyAccessPoints = nullptr;
    TSurveyAccessPointModel* accessPoints_ = nullptr;
    TSurveyAccessPointFilter* accessPointFilter_ = nullptr;
    QTimer* surveyTimer_ = nullptr;
    QTimer* scanTimer_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
    QString note_;
};

} // namespace r7730
