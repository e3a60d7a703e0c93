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
    CB_SurveyInterval = Choices(this, "CB_SurveyInterval", {{"0.5 s", 500}, {"1 s", 1000}, {"2 s", 2000}, {"5 s", 5000}, {"10 s", 10000}}, 1);
    CB_SurveyWindow = Choices(this, "CB_SurveyWindow", {{"1 min", 1}, {"5 min", 5}, {"15 min", 15}, {"60 min", 60}}, 1);
    CB_SurveyScanEvery = Choices(this, "CB_SurveyScanEvery", {{"off", 0}, {"30 s", 30}, {"60 s", 60}, {"120 s", 120}, {"300 s", 300}}, 0);
    Btn_SurveyMarker = Button(this, "Btn_SurveyMarker", QStringLiteral("Drop marker"));
    Btn_SurveyNew = Button(this, "Btn_SurveyNew", QStringLiteral("New session"));
    Btn_SurveyExportCsv = Button(this, "Btn_SurveyExportCsv", QStringLiteral("Export CSV…"));
    Btn_SurveySavePng = Button(this, "Btn_SurveySavePng", QStringLiteral("Save chart PNG…"));
    Lb_SurveyState = new QLabel(this);
    Lb_SurveyState->setObjectName(QStringLiteral("Lb_SurveyState"));
    Lb_SurveyRssi = new QLabel(this);
    Lb_SurveyRssi->setObjectName(QStringLiteral("Lb_SurveyRssi"));
    Lb_SurveyQuality = new QLabel(this);
    Lb_SurveyQuality->setObjectName(QStringLiteral("Lb_SurveyQuality"));
    for (QLabel* label : {Lb_SurveyRssi, Lb_SurveyQuality}) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }

    Chart_Survey = new TStripChart(this);
    Chart_Survey->setObjectName(QStringLiteral("Chart_Survey"));
    Chart_Survey->SetSeries({{QStringLiteral("RSSI"), QColor(0, 90, 200), -100, -20, false, QStringLiteral("dBm")},
                       {QStringLiteral("Quality"), QColor(230, 120, 0), 0, 100, true, QStringLiteral("%")}});
    Chart_Survey->SetData(chartData_.get());

    Grid_SurveySegments = new QTableWidget(0, 7, this);
    Grid_SurveySegments->setObjectName(QStringLiteral("Grid_SurveySegments"));
    Grid_SurveySegments->setHorizontalHeaderLabels({"Segment", "From", "Readings", "Min", "Avg", "Max", "Quality"});
    Grid_SurveySegments->verticalHeader()->hide();
    Grid_SurveySegments->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_SurveySegments->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Grid_SurveySegments->horizontalHeader()->setStretchLastSection(true);

    Bars_SurveyChannels = new TChannelBars(this);
    Bars_SurveyChannels->setObjectName(QStringLiteral("Bars_SurveyChannels"));

    Edit_SurveySsidFilter = new QLineEdit(this);
    Edit_SurveySsidFilter->setObjectName(QStringLiteral("Edit_SurveySsidFilter"));
    Edit_SurveySsidFilter->setPlaceholderText(QStringLiteral("SSID contains…"));
    Edit_SurveySsidFilter->setClearButtonEnabled(true);
    Spin_SurveyMinRssi = new QSpinBox(this);
    Spin_SurveyMinRssi->setObjectName(QStringLiteral("Spin_SurveyMinRssi"));
    Spin_SurveyMinRssi->setRange(kNoMinimumRssi, 0);
    Spin_SurveyMinRssi->setSpecialValueText(QStringLiteral("any"));
    Spin_SurveyMinRssi->setSuffix(QStringLiteral(" dBm"));
    Spin_SurveyMinRssi->setValue(kNoMinimumRssi);

    accessPoints_ = new TSurveyAccessPointModel(session_, this);
    accessPointFilter_ = new TSurveyAccessPointFilter(this);
    accessPointFilter_->setSourceModel(accessPoints_);
    Grid_SurveyAccessPoints = new QTableView(this);
    Grid_SurveyAccessPoints->setObjectName(QStringLiteral("Grid_SurveyAccessPoints"));
    Grid_SurveyAccessPoints->setModel(accessPointFilter_);
    Grid_SurveyAccessPoints->setSortingEnabled(true);
    Grid_SurveyAccessPoints->sortByColumn(TSurveyAccessPointModel::Rssi, Qt::DescendingOrder);
    Grid_SurveyAccessPoints->verticalHeader()->hide();
    Grid_SurveyAccessPoints->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_SurveyAccessPoints->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Grid_SurveyAccessPoints->horizontalHeader()->setSectionResizeMode(TSurveyAccessPointModel::Ssid, QHeaderView::Stretch);

    auto* controls = new QHBoxLayout;
    for (auto [caption, box] : {std::pair{"Interval", CB_SurveyInterval}, {"Window", CB_SurveyWindow}, {"Scan every", CB_SurveyScanEvery}}) {
        controls->addWidget(new QLabel(QString::fromLatin1(caption), this));
        controls->addWidget(box);
        controls->addSpacing(8);
    }
    for (QPushButton* button : {Btn_SurveyMarker, Btn_SurveyNew, Btn_SurveyExportCsv, Btn_SurveySavePng})
        controls->addWidget(button);
    controls->addStretch();

    auto* figures = new QHBoxLayout;
    figures->addWidget(Lb_SurveyRssi);
    figures->addSpacing(24);
    figures->addWidget(Lb_SurveyQuality);
    figures->addStretch();
    figures->addWidget(Lb_SurveyState);

    auto* lower = new QHBoxLayout;
    lower->addWidget(Grid_SurveySegments, 3);
    lower->addWidget(Bars_SurveyChannels, 2);

    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(QStringLiteral("Access points over the session"), this));
    filter->addStretch();
    filter->addWidget(Edit_SurveySsidFilter);
    filter->addWidget(new QLabel(QStringLiteral("min RSSI"), this));
    filter->addWidget(Spin_SurveyMinRssi);

    auto* upper = new QWidget(this);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->addWidget(Chart_Survey, 1);
    upperLayout->addLayout(lower);
    auto* bottom = new QWidget(this);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addLayout(filter);
    bottomLayout->addWidget(Grid_SurveyAccessPoints);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(upper);
    splitter->addWidget(bottom);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addLayout(figures);
    layout->addWidget(splitter, 1);
    Grid_SurveySegments->setMaximumHeight(180);
    Bars_SurveyChannels->setMaximumHeight(180);

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
    connect(Btn_SurveyMarker, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_SurveyMarkerClick));
    connect(Btn_SurveyNew, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_SurveyNewClick));
    connect(Btn_SurveyExportCsv, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_SurveyExportCsvClick));
    connect(Btn_SurveySavePng, &QPushButton::clicked, this, guarded(&TSurveyWindow::Btn_SurveySavePngClick));
    connect(CB_SurveyInterval, &QComboBox::currentIndexChanged, this, guarded(&TSurveyWindow::CB_SurveyIntervalChange));
    connect(CB_SurveyWindow, &QComboBox::currentIndexChanged, this, guarded(&TSurveyWindow::CB_SurveyWindowChange));
    connect(CB_SurveyScanEvery, &QComboBox::currentIndexChanged, this, guarded(&TSurveyWindow::CB_SurveyScanEveryChange));
    connect(surveyTimer_, &QTimer::timeout, this, guarded(&TSurveyWindow::SurveyTimerTick));
    connect(scanTimer_, &QTimer::timeout, this, guarded(&TSurveyWindow::ScanTimerTick));
    connect(refreshTimer_, &QTimer::timeout, this, guarded(&TSurveyWindow::Refresh));
    connect(Edit_SurveySsidFilter, &QLineEdit::textChanged, this,
            [this](const QString& text) { guard_([&] { accessPointFilter_->SetSsidText(text); }); });
    connect(Spin_SurveyMinRssi, &QSpinBox::valueChanged, this, [this](int value) {
        guard_([&] { accessPointFilter_->SetMinimumRssi(value == kNoMinimumRssi ? std::nullopt : std::optional<int>(value)); });
    });
    CB_SurveyIntervalChange();
    CB_SurveyWindowChange();
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
    CB_SurveyScanEveryChange();
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

void TSurveyWindow::CB_SurveyIntervalChange()
{
    surveyTimer_->setInterval(CB_SurveyInterval->currentData().toInt());
}

void TSurveyWindow::CB_SurveyWindowChange()
{
    Chart_Survey->SetSpanMs(CB_SurveyWindow->currentData().toLongLong() * 60 * 1000);
}

void TSurveyWindow::CB_SurveyScanEveryChange()
{
    const int seconds = CB_SurveyScanEvery->currentData().toInt();
    if (seconds == 0 || !recorder_) {
        scanTimer_->stop();
        return;
    }
    scanTimer_->start(seconds * 1000);
    ScanTimerTick();
}

void TSurveyWindow::Btn_SurveyMarkerClick()
{
    session_.DropMarker(QDateTime::currentMSecsSinceEpoch());
    Refresh();
}

void TSurveyWindow::Btn_SurveyNewClick()
{
    session_.Clear();
    Refresh();
}

void TSurveyWindow::Btn_SurveyExportCsvClick()
{
    const QString name = QStringLiteral("survey-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the session as CSV"), name,
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty())
        ExportCsv(path);
}

void TSurveyWindow::Btn_SurveySavePngClick()
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
    if (!Chart_Survey->grab().save(&buffer, "PNG")) {
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
    Chart_Survey->SetMarkers(std::move(markers));
}

void TSurveyWindow::ShowStatistics()
{
    const std::vector<TSignalSample>& samples = session_.Samples();
    const std::optional<int> rssi = samples.empty() ? std::nullopt : samples.back().Rssi();
    const std::optional<int> quality = samples.empty() ? std::nullopt : samples.back().Quality();
    const TValueStatistics& r = session_.Rssi();
    const TValueStatistics& q = session_.Quality();
    Lb_SurveyRssi->setText(QStringLiteral("RSSI  now %1   min %2   avg %3   max %4")
                            .arg(Whole(rssi, QStringLiteral(" dBm")), Whole(r.Minimum()), OneDecimal(r.Mean()), Whole(r.Maximum())));
    Lb_SurveyQuality->setText(QStringLiteral("Quality  now %1   min %2   avg %3   max %4")
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
    Lb_SurveyState->setText(state);
}

void TSurveyWindow::ShowSegments()
{
    const std::vector<TSegment>& segments = session_.Segments();
    Grid_SurveySegments->setRowCount(static_cast<int>(segments.size()));
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const TSegment& segment = segments[i];
        const int row = static_cast<int>(i);
        SetCell(Grid_SurveySegments, row, 0, segment.label.isEmpty() ? QStringLiteral("(start)") : segment.label);
        SetCell(Grid_SurveySegments, row, 1,
                segment.msecs ? QDateTime::fromMSecsSinceEpoch(segment.msecs).toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("-"));
        SetCell(Grid_SurveySegments, row, 2, QString::number(segment.samples));
        SetCell(Grid_SurveySegments, row, 3, Whole(segment.rssi.Minimum()));
        SetCell(Grid_SurveySegments, row, 4, OneDecimal(segment.rssi.Mean()));
        SetCell(Grid_SurveySegments, row, 5, Whole(segment.rssi.Maximum()));
        SetCell(Grid_SurveySegments, row, 6, OneDecimal(segment.quality.Mean(), QStringLiteral("%")));
    }
}

void TSurveyWindow::ShowChannels()
{
    if (session_.Scans() == 0) {
        Bars_SurveyChannels->SetBars({}, 0);
        return;
    }
    const std::vector<TChannelLoad> loads = ChannelLoads(session_.AccessPoints());
    std::vector<TChannelBar> bars;
    for (const TChannelLoad& load : loads)
        bars.push_back({load.channel, load.accessPoints, load.strongest, load.withinReach});
    Bars_SurveyChannels->SetBars(std::move(bars), QuietestChannel(loads));
}

} // namespace r7730
