// The signal survey window: its controls, their handlers, and the views brought up to date from
// the session (see survey_window.h).
#include "window/survey/survey_window.h"

#include <QBuffer>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <chrono>

#include "shell/whole_file.h"
#include "survey/channel_load.h"
#include "survey/survey_csv.h"
#include "window/survey/survey_access_points.h"
#include "window/widgets/channel_bars.h"
#include "window/widgets/strip_chart.h"

namespace r7730 {
namespace {

constexpr int kRefreshMs = 100;
constexpr int kTickSlackMs = 50; // how early a timer's tick may come
constexpr int kNoMinimumRssi = -100; // the minimum RSSI box's lowest value: no filter

QString Whole(std::optional<int> value, const QString& unit = {})
{
    return value ? QString::number(*value) + unit : QStringLiteral("-");
}

QString OneDecimal(std::optional<double> value, const QString& unit = {})
{
    return value ? QString::number(*value, 'f', 1) + unit : QStringLiteral("-");
}

QComboBox* Choices(QWidget* parent, const char* name, std::initializer_list<std::pair<const char*, int>> items, int selected)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (const auto& [text, value] : items)
        box->addItem(QString::fromUtf8(text), value);
    box->setCurrentIndex(selected);
    return box;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void SetCell(QTableWidget* grid, int row, int column, const QString& text)
{
    QTableWidgetItem* item = grid->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        grid->setItem(row, column, item);
    }
    if (item->text() != text)
        item->setText(text);
}

} // namespace

// The session's readings as the chart's points: RSSI on the left axis, quality on the right.
class TSurveyWindow::TChartData : public IStripChartData {
public:
    explicit TChartData(const TSurveySession& session) : session_(session) {}
    qsizetype PointCount() const override { return static_cast<qsizetype>(session_.Samples().size()); }
    qint64 TimeAt(qsizetype index) const override { return session_.Samples()[static_cast<std::size_t>(index)].msecs; }
    std::optional<int> ValueAt(int series, qsizetype index) const override
    {
        const TSignalSample& sample = session_.Samples()[static_cast<std::size_t>(index)];
        return series == 0 ? sample.Rssi() : sample.Quality();
    }

private:
    const TSurveySession& session_;
};

TSurveyWindow::TSurveyWindow(TDeviceLink& link, TEventGuard guard, QWidget* parent)
    : QWidget(parent, Qt::Window), link_(link), guard_(std::move(guard)), chartData_(std::make_unique<TChartData>(session_))
{
    setObjectName(QStringLiteral("Form_SignalSurvey"));
    setWindowTitle(QStringLiteral("Signal survey"));
    BuildControls();
    Wire();
    resize(1000, 760);
    Refresh();
}

TSurveyWindow::~TSurveyWindow()
{
    // The views and the model read the session and the chart's data, members that go before
    // QWidget deletes its children: they go first.
    recorder_.reset();
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    delete accessPointFilter_;
    delete accessPoints_;
}

void TSurveyWindow::BuildControls()
{
    intervalBox_ = Choices(this, "CB_Survey_Interval", {{"0.5 s", 500}, {"1 s", 1000}, {"2 s", 2000}, {"5 s", 5000}, {"10 s", 10000}}, 1);
    windowBox_ = Choices(this, "CB_Survey_Window", {{"1 min", 1}, {"5 min", 5}, {"15 min", 15}, {"60 min", 60}}, 1);
    scanEveryBox_ = Choices(this, "CB_Survey_ScanEvery", {{"off", 0}, {"30 s", 30}, {"60 s", 60}, {"120 s", 120}, {"300 s", 300}}, 0);
    markerButton_ = Button(this, "Btn_Survey_Marker", QStringLiteral("Drop marker"));
    newButton_ = Button(this, "Btn_Survey_New", QStringLiteral("New session"));
    exportCsvButton_ = Button(this, "Btn_Survey_ExportCsv", QStringLiteral("Export CSV…"));
    savePngButton_ = Button(this, "Btn_Survey_SavePng", QStringLiteral("Save chart PNG…"));
    stateLabel_ = new QLabel(this);
    stateLabel_->setObjectName(QStringLiteral("Label_Survey_State"));
    rssiLabel_ = new QLabel(this);
    rssiLabel_->setObjectName(QStringLiteral("Label_Survey_Rssi"));
    qualityLabel_ = new QLabel(this);
    qualityLabel_->setObjectName(QStringLiteral("Label_Survey_Quality"));
    for (QLabel* label : {rssiLabel_, qualityLabel_}) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }

    chart_ = new TStripChart(this);
    chart_->setObjectName(QStringLiteral("Chart_Survey"));
    chart_->SetSeries({{QStringLiteral("RSSI"), QColor(0, 90, 200), -100, -20, false, QStringLiteral("dBm")},
                       {QStringLiteral("Quality"), QColor(230, 120, 0), 0, 100, true, QStringLiteral("%")}});
    chart_->SetData(chartData_.get());

    segmentsGrid_ = new QTableWidget(0, 7, this);
    segmentsGrid_->setObjectName(QStringLiteral("Grid_Survey_Segments"));
    segmentsGrid_->setHorizontalHeaderLabels({"Segment", "From", "Readings", "Min", "Avg", "Max", "Quality"});
    segmentsGrid_->verticalHeader()->hide();
    segmentsGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    segmentsGrid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    segmentsGrid_->horizontalHeader()->setStretchLastSection(true);

    channelBars_ = new TChannelBars(this);
    channelBars_->setObjectName(QStringLiteral("Bars_Survey_Channels"));

    ssidFilter_ = new QLineEdit(this);
    ssidFilter_->setObjectName(QStringLiteral("Edit_Survey_SsidFilter"));
    ssidFilter_->setPlaceholderText(QStringLiteral("SSID contains…"));
    ssidFilter_->setClearButtonEnabled(true);
    minimumRssi_ = new QSpinBox(this);
    minimumRssi_->setObjectName(QStringLiteral("Spin_Survey_MinRssi"));
    minimumRssi_->setRange(kNoMinimumRssi, 0);
    minimumRssi_->setSpecialValueText(QStringLiteral("any"));
    minimumRssi_->setSuffix(QStringLiteral(" dBm"));
    minimumRssi_->setValue(kNoMinimumRssi);

    accessPoints_ = new TSurveyAccessPointModel(session_, this);
    accessPointFilter_ = new TSurveyAccessPointFilter(this);
    accessPointFilter_->setSourceModel(accessPoints_);
    accessPointsView_ = new QTableView(this);
    accessPointsView_->setObjectName(QStringLiteral("Grid_Survey_AccessPoints"));
    accessPointsView_->setModel(accessPointFilter_);
    accessPointsView_->setSortingEnabled(true);
    accessPointsView_->sortByColumn(TSurveyAccessPointModel::Rssi, Qt::DescendingOrder);
    accessPointsView_->verticalHeader()->hide();
    accessPointsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    accessPointsView_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    accessPointsView_->horizontalHeader()->setSectionResizeMode(TSurveyAccessPointModel::Ssid, QHeaderView::Stretch);

    auto* controls = new QHBoxLayout;
    for (auto [caption, box] : {std::pair{"Interval", intervalBox_}, {"Window", windowBox_}, {"Scan every", scanEveryBox_}}) {
        controls->addWidget(new QLabel(QString::fromLatin1(caption), this));
        controls->addWidget(box);
        controls->addSpacing(8);
    }
    for (QPushButton* button : {markerButton_, newButton_, exportCsvButton_, savePngButton_})
        controls->addWidget(button);
    controls->addStretch();

    auto* figures = new QHBoxLayout;
    figures->addWidget(rssiLabel_);
    figures->addSpacing(24);
    figures->addWidget(qualityLabel_);
    figures->addStretch();
    figures->addWidget(stateLabel_);

    auto* lower = new QHBoxLayout;
    lower->addWidget(segmentsGrid_, 3);
    lower->addWidget(channelBars_, 2);

    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("Access points over the session"), this));
    filter->addStretch();
    filter->addWidget(ssidFilter_);
    filter->addWidget(new QLabel(QStringLiteral("min RSSI"), this));
    filter->addWidget(minimumRssi_);

    auto* upper = new QWidget(this);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->addWidget(chart_, 1);
    upperLayout->addLayout(lower);
    auto* bottom = new QWidget(this);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addLayout(filter);
    bottomLayout->addWidget(accessPointsView_);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(upper);
    splitter->addWidget(bottom);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addLayout(figures);
    layout->addWidget(splitter, 1);
    segmentsGrid_->setMaximumHeight(180);
    channelBars_->setMaximumHeight(180);

    surveyTimer_ = new QTimer(this);
    scanTimer_ = new QTimer(this);
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshMs);
}

void TSurveyWindow::Wire()
{
    auto guarded = [this](void (TSurveyWindow::*handler)()) {
        return [this, handler] { guard_([this, handler] { (this->*handler)(); }); };
    };
    connect(markerButton_, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_Survey_MarkerClick));
    connect(newButton_, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_Survey_NewClick));
    connect(exportCsvButton_, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_Survey_ExportCsvClick));
    connect(savePngButton_, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_Survey_SavePngClick));
    connect(intervalBox_, &QComboBox::currentIndexChanged, this, guarded(&TSurveyWindow::CB_Survey_IntervalChange));
    connect(windowBox_, &QComboBox::currentIndexChanged, this, guarded(&TSurveyWindow::CB_Survey_WindowChange));
    connect(scanEveryBox_, &QComboBox::currentIndexChanged, this, guarded(&TSurveyWindow::CB_Survey_ScanEveryChange));
    connect(surveyTimer_, &QTimer::timeout, this, guarded(&TSurveyWindow::SurveyTimerTick));
    connect(scanTimer_, &QTimer::timeout, this, guarded(&TSurveyWindow::ScanTimerTick));
    connect(refreshTimer_, &QTimer::timeout, this, guarded(&TSurveyWindow::Refresh));
    connect(ssidFilter_, &QLineEdit::textChanged, this,
            [this](const QString& text) { guard_([&] { accessPointFilter_->SetSsidText(text); }); });
    connect(minimumRssi_, &QSpinBox::valueChanged, this, [this](int value) {
        guard_([&] { accessPointFilter_->SetMinimumRssi(value == kNoMinimumRssi ? std::nullopt : std::optional<int>(value)); });
    });
    CB_Survey_IntervalChange();
    CB_Survey_WindowChange();
}

void TSurveyWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (recorder_)
        return;
    recorder_ = std::make_unique<TSurveyRecorder>(link_, session_);
    recorder_->SetOnChange([this](TSurveyRecorder::TChange) { ScheduleRefresh(); });
    surveyTimer_->start();
    SurveyTimerTick();
    CB_Survey_ScanEveryChange();
}

void TSurveyWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous()) // minimised: still recording
        return;
    surveyTimer_->stop();
    scanTimer_->stop();
    recorder_.reset();
}

void TSurveyWindow::ScheduleRefresh()
{
    if (!refreshTimer_->isActive())
        refreshTimer_->start();
}

void TSurveyWindow::SurveyTimerTick()
{
    // One request of the survey's own at a time: a slow device is not piled up with them. A read
    // unanswered for an interval (a second at least) is a gap; the next goes out now. The tick
    // comes a little early now and then: a read due to be given up then is.
    if (!recorder_)
        return;
    const std::chrono::milliseconds interval(std::max(surveyTimer_->interval(), 1000));
    recorder_->GiveUpSignals(interval - std::chrono::milliseconds(kTickSlackMs));
    if (recorder_->AwaitingSignal())
        return;
    if (!recorder_->ReadSignal())
        ShowStatistics(); // says it is not connected
}

void TSurveyWindow::ScanTimerTick()
{
    if (recorder_ && !recorder_->AwaitingScan())
        recorder_->Scan();
}

void TSurveyWindow::CB_Survey_IntervalChange()
{
    surveyTimer_->setInterval(intervalBox_->currentData().toInt());
}

void TSurveyWindow::CB_Survey_WindowChange()
{
    chart_->SetSpanMs(windowBox_->currentData().toLongLong() * 60 * 1000);
}

void TSurveyWindow::CB_Survey_ScanEveryChange()
{
    const int seconds = scanEveryBox_->currentData().toInt();
    if (seconds == 0 || !recorder_) {
        scanTimer_->stop();
        return;
    }
    scanTimer_->start(seconds * 1000);
    ScanTimerTick();
}

void TSurveyWindow::Btn_Survey_MarkerClick()
{
    session_.DropMarker(QDateTime::currentMSecsSinceEpoch());
    Refresh();
}

void TSurveyWindow::Btn_Survey_NewClick()
{
    session_.Clear();
    Refresh();
}

void TSurveyWindow::Btn_Survey_ExportCsvClick()
{
    const QString name = QStringLiteral("survey-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the session as CSV"), name,
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty())
        ExportCsv(path);
}

void TSurveyWindow::Btn_Survey_SavePngClick()
{
    const QString name = QStringLiteral("survey-%1.png").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the chart as PNG"), name,
                                                      QStringLiteral("PNG (*.png)"));
    if (!path.isEmpty())
        SaveChartPng(path);
}

bool TSurveyWindow::ExportCsv(const QString& path)
{
    const std::string name = QFile::encodeName(path).toStdString();
    if (!WriteWholeFile(name, SurveyCsv(session_).toUtf8().toStdString(), std::nullopt)) {
        ShowState(QStringLiteral("cannot write %1: %2").arg(path, QString::fromStdString(WholeFileFailure(name, errno))));
        return false;
    }
    ShowState(QStringLiteral("exported to %1").arg(path));
    return true;
}

bool TSurveyWindow::SaveChartPng(const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    const std::string name = QFile::encodeName(path).toStdString();
    if (!chart_->grab().save(&buffer, "PNG")) {
        ShowState(QStringLiteral("cannot write %1").arg(path));
        return false;
    }
    if (!WriteWholeFile(name, png.toStdString(), std::nullopt)) {
        ShowState(QStringLiteral("cannot write %1: %2").arg(path, QString::fromStdString(WholeFileFailure(name, errno))));
        return false;
    }
    ShowState(QStringLiteral("saved %1").arg(path));
    return true;
}

void TSurveyWindow::ShowState(const QString& note)
{
    note_ = note;
    ShowStatistics();
}

void TSurveyWindow::Refresh()
{
    refreshTimer_->stop();
    ShowStatistics();
    ShowSegments();
    ShowChannels();
    accessPoints_->Refresh(QDateTime::currentMSecsSinceEpoch());
    std::vector<TChartMarker> markers;
    for (std::size_t i = 1; i < session_.Segments().size(); ++i)
        markers.push_back({session_.Segments()[i].msecs, session_.Segments()[i].label});
    chart_->SetMarkers(std::move(markers));
}

void TSurveyWindow::ShowStatistics()
{
    const std::vector<TSignalSample>& samples = session_.Samples();
    const std::optional<int> rssi = samples.empty() ? std::nullopt : samples.back().Rssi();
    const std::optional<int> quality = samples.empty() ? std::nullopt : samples.back().Quality();
    const TValueStatistics& r = session_.Rssi();
    const TValueStatistics& q = session_.Quality();
    rssiLabel_->setText(QStringLiteral("RSSI  now %1   min %2   avg %3   max %4")
                            .arg(Whole(rssi, QStringLiteral(" dBm")), Whole(r.Minimum()), OneDecimal(r.Mean()), Whole(r.Maximum())));
    qualityLabel_->setText(QStringLiteral("Quality  now %1   min %2   avg %3   max %4")
                               .arg(Whole(quality, QStringLiteral("%")), Whole(q.Minimum(), QStringLiteral("%")),
                                    OneDecimal(q.Mean(), QStringLiteral("%")), Whole(q.Maximum(), QStringLiteral("%"))));
    const auto others = std::count_if(samples.begin(), samples.end(), [](const TSignalSample& s) { return s.asker == TAsker::Other; });
    QString state = QStringLiteral("%1 %2 (%3 asked by the %4), %5 %6")
                        .arg(samples.size())
                        .arg(samples.size() == 1 ? "reading" : "readings")
                        .arg(others)
                        .arg(AskerText(TAsker::Other))
                        .arg(session_.Scans())
                        .arg(session_.Scans() == 1 ? "scan" : "scans");
    if (session_.Gaps() > 0)
        state += QStringLiteral(", %1 %2 unanswered").arg(session_.Gaps()).arg(session_.Gaps() == 1 ? "read" : "reads");
    if (!link_.Connected())
        state += QStringLiteral(" · not connected");
    if (!note_.isEmpty())
        state += QStringLiteral(" · ") + note_;
    stateLabel_->setText(state);
}

void TSurveyWindow::ShowSegments()
{
    const std::vector<TSegment>& segments = session_.Segments();
    segmentsGrid_->setRowCount(static_cast<int>(segments.size()));
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const TSegment& segment = segments[i];
        const int row = static_cast<int>(i);
        SetCell(segmentsGrid_, row, 0, segment.label.isEmpty() ? QStringLiteral("(start)") : segment.label);
        SetCell(segmentsGrid_, row, 1,
                segment.msecs ? QDateTime::fromMSecsSinceEpoch(segment.msecs).toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("-"));
        SetCell(segmentsGrid_, row, 2, QString::number(segment.samples));
        SetCell(segmentsGrid_, row, 3, Whole(segment.rssi.Minimum()));
        SetCell(segmentsGrid_, row, 4, OneDecimal(segment.rssi.Mean()));
        SetCell(segmentsGrid_, row, 5, Whole(segment.rssi.Maximum()));
        SetCell(segmentsGrid_, row, 6, OneDecimal(segment.quality.Mean(), QStringLiteral("%")));
    }
}

void TSurveyWindow::ShowChannels()
{
    if (session_.Scans() == 0) {
        channelBars_->SetBars({}, 0);
        return;
    }
    const std::vector<TChannelLoad> loads = ChannelLoads(session_.AccessPoints());
    std::vector<TChannelBar> bars;
    for (const TChannelLoad& load : loads)
        bars.push_back({load.channel, load.accessPoints, load.strongest, load.withinReach});
    channelBars_->SetBars(std::move(bars), QuietestChannel(loads));
}

} // namespace r7730
