// The signal survey window against the simulated device's scripted signal and access points:
// opened from the main window only while connected, every reading in the chart in order with
// exact statistics, replies to the main window's own polling counted too, the channel bars and
// the access point table from the scans, and the CSV export read back.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "provision/csv_reader.h"
#include "support/controls.h"
#include "support/fake_services.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"
#include "window/form_main.h"
#include "window/survey/survey_access_points.h"
#include "window/survey/survey_window.h"
#include "window/widgets/channel_bars.h"
#include "window/widgets/strip_chart.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

class SurveyWithSimulator : public ::testing::Test {
protected:
    SurveyWithSimulator()
    {
        folder.MakeFolder(QStringLiteral("Log"));
        WriteWholeFile(folder.File("trace.txt"), "-70 -62 NOINFO -55 -81\n");
        WriteWholeFile(folder.File("aps.txt"), "1,-52,WPA2-PSK,Office-2G\n1,-70,WPA2-PSK,우리집_WiFi\n3,-81,OPEN,Guest\n"
                                               "6,-60,WPA2-PSK,Lab, second floor\n11,-45,WPA/WPA2,3F_회의실\n"
                                               "11,-77,WPA2-ENT,연구소\n13,-88,WPA2-PSK,Far away\n");
        simulator = std::make_unique<SimulatorProcess>(std::vector<std::string>{
            "--quiet", "--signal-file", folder.File("trace.txt").toStdString(), "--access-points",
            folder.File("aps.txt").toStdString()});
        form.show();
        form.DeviceLink().Port().SetPort(simulator->linkPath());
    }

    void Connect() { Ctl<QPushButton>(form, "ButtonStart")->click(); }

    // Opens the survey as the shortcut does, reading every 10 s, so the test's own steps make the
    // readings.
    TSurveyWindow* OpenSurvey()
    {
        Ctl<QAction>(form, "Action_SignalSurvey")->trigger();
        TSurveyWindow* survey = form.SurveyWindow();
        if (survey)
            Ctl<QComboBox>(*survey, "CB_SurveyInterval")->setCurrentText("10 s");
        return survey;
    }

    bool WaitForReadings(const TSurveyWindow& survey, std::size_t count)
    {
        return QTest::qWaitFor([&] { return survey.Session().Samples().size() >= count; }, 5000);
    }

    QStringList Column(const QTableView& view, int column)
    {
        QStringList texts;
        for (int row = 0; row < view.model()->rowCount(); ++row)
            texts << view.model()->index(row, column).data().toString();
        return texts;
    }

    TTempWorkingFolder folder;
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
    std::unique_ptr<SimulatorProcess> simulator;
};

} // namespace

TEST_F(SurveyWithSimulator, OpensOnlyWhileConnectedFromTheMenusAndTheShortcut)
{
    QAction* open = Ctl<QAction>(form, "Action_SignalSurvey");
    EXPECT_EQ(open->shortcut(), QKeySequence("Ctrl+Shift+S"));
    emit Ctl<QWidget>(form, "APList_Grid")->customContextMenuRequested({});
    EXPECT_FALSE(open->isEnabled());
    open->trigger();
    EXPECT_EQ(form.SurveyWindow(), nullptr);
    Ctl<QMenu>(form, "Menu_SignalSurvey")->close();

    Connect();
    emit Ctl<QWidget>(form, "Panel_Info_CurrentAP_RSSI")->customContextMenuRequested({});
    EXPECT_TRUE(open->isEnabled());
    Ctl<QMenu>(form, "Menu_SignalSurvey")->close();
    TSurveyWindow* survey = OpenSurvey();
    ASSERT_NE(survey, nullptr);
    EXPECT_TRUE(survey->isVisible());
    EXPECT_EQ(survey->windowTitle(), "Signal survey");
    open->trigger();
    EXPECT_EQ(form.SurveyWindow(), survey); // one window, brought up again
}

TEST_F(SurveyWithSimulator, EveryReadingWhoeverAskedIsChartedWithExactStatistics)
{
    Connect();
    TSurveyWindow* survey = OpenSurvey(); // its first reading is read at once
    ASSERT_NE(survey, nullptr);
    ASSERT_TRUE(WaitForReadings(*survey, 1));
    form.Timer_AutoQryRSSITimer(); // the main window's own polling
    ASSERT_TRUE(WaitForReadings(*survey, 2));
    survey->SurveyTimerTick();
    ASSERT_TRUE(WaitForReadings(*survey, 3));
    Ctl<QPushButton>(*survey, "Btn_SurveyMarker")->click();
    form.Timer_AutoQryRSSITimer();
    ASSERT_TRUE(WaitForReadings(*survey, 4));
    survey->SurveyTimerTick();
    ASSERT_TRUE(WaitForReadings(*survey, 5));
    survey->Refresh();

    const std::vector<std::pair<std::optional<int>, TAsker>> trace = {
        {-70, TAsker::Survey}, {-62, TAsker::Other}, {std::nullopt, TAsker::Survey}, {-55, TAsker::Other}, {-81, TAsker::Survey}};
    const std::vector<TSignalSample>& samples = survey->Session().Samples();
    ASSERT_EQ(samples.size(), trace.size());
    for (std::size_t i = 0; i < trace.size(); ++i) {
        EXPECT_EQ(samples[i].Rssi(), trace[i].first) << i;
        EXPECT_EQ(samples[i].asker, trace[i].second) << i;
        if (i > 0) {
            EXPECT_GE(samples[i].msecs, samples[i - 1].msecs);
        }
    }
    survey->Chart().grab();
    EXPECT_EQ(survey->Chart().PointsInSpan(), 5);
    EXPECT_EQ(Ctl<QLabel>(*survey, "Lb_SurveyRssi")->text(), "RSSI  now -81 dBm   min -81   avg -67.0   max -55");
    EXPECT_EQ(Ctl<QLabel>(*survey, "Lb_SurveyQuality")->text(), "Quality  now 38%   min 38%   avg 66.0%   max 90%");
    EXPECT_TRUE(Ctl<QLabel>(*survey, "Lb_SurveyState")->text().startsWith("5 readings (2 asked by the main window), 0 scans"));

    const QTableWidget* segments = Ctl<QTableWidget>(*survey, "Grid_SurveySegments");
    ASSERT_EQ(segments->rowCount(), 2);
    auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < segments->columnCount(); ++c)
            cells << (c == 1 ? QString() : segments->item(r, c)->text());
        return cells;
    };
    EXPECT_EQ(row(0), QStringList({"(start)", "", "3", "-70", "-66.0", "-62", "68.0%"}));
    EXPECT_EQ(row(1), QStringList({"spot A", "", "2", "-81", "-68.0", "-55", "64.0%"}));

    // The main window's fields show the replies as they always did.
    EXPECT_EQ(Ctl<QLineEdit>(form, "Edit_Current_RSSI")->text(), "-81");

    // The CSV export read back: one line per reading, in order, with who asked and the marker.
    ASSERT_TRUE(survey->ExportCsv(folder.File("survey.csv")));
    const std::vector<provision::TCsvRecord> records = provision::ReadCsv(QString::fromUtf8(ReadWholeFile(folder.File("survey.csv"))));
    ASSERT_EQ(records.size(), 6u);
    QStringList rssi, quality, marker, asked, ssid;
    for (std::size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i].cells[1].text, "poll");
        ssid << records[i].cells[2].text;
        rssi << records[i].cells[4].text;
        quality << records[i].cells[5].text;
        marker << records[i].cells[6].text;
        asked << records[i].cells[7].text;
    }
    EXPECT_EQ(ssid, QStringList({"Office-2G", "Office-2G", "Office-2G", "Office-2G", "Office-2G"}));
    EXPECT_EQ(rssi, QStringList({"-70", "-62", "", "-55", "-81"}));
    EXPECT_EQ(quality, QStringList({"60", "76", "", "90", "38"}));
    EXPECT_EQ(marker, QStringList({"", "", "", "spot A", "spot A"}));
    EXPECT_EQ(asked, QStringList({"survey", "main window", "survey", "main window", "survey"}));
}

TEST_F(SurveyWithSimulator, ScansFillTheChannelBarsAndTheAccessPointTable)
{
    Connect();
    TSurveyWindow* survey = OpenSurvey();
    ASSERT_NE(survey, nullptr);
    ASSERT_TRUE(WaitForReadings(*survey, 1));
    survey->ScanTimerTick(); // the survey's own scan (it has no scan interval set)
    ASSERT_TRUE(QTest::qWaitFor([&] { return survey->Session().Scans() == 1; }, 5000));
    Ctl<QPushButton>(form, "Btn_Search_AP")->click(); // and the main window's
    ASSERT_TRUE(QTest::qWaitFor([&] { return survey->Session().Scans() == 2; }, 5000));
    survey->Refresh();

    const TChannelBars& bars = survey->ChannelBars();
    ASSERT_EQ(bars.Bars().size(), 13u);
    std::vector<int> counts;
    for (const TChannelBar& bar : bars.Bars())
        counts.push_back(bar.accessPoints);
    EXPECT_EQ(counts, (std::vector<int>{2, 0, 1, 0, 0, 1, 0, 0, 0, 0, 2, 0, 1}));
    EXPECT_EQ(bars.Bars()[0].strongest, -52);
    EXPECT_EQ(bars.Bars()[2].withinReach, 3);
    EXPECT_EQ(bars.Quietest(), 6);

    QTableView* table = Ctl<QTableView>(*survey, "Grid_SurveyAccessPoints");
    using C = TSurveyAccessPointModel;
    EXPECT_EQ(Column(*table, C::Ssid), QStringList({"3F_회의실", "Office-2G", "Lab, second floor", "우리집_WiFi", "연구소", "Guest", "Far away"}));
    EXPECT_EQ(Column(*table, C::Rssi), QStringList({"-45", "-52", "-60", "-70", "-77", "-81", "-88"}));
    EXPECT_EQ(Column(*table, C::TimesSeen), QStringList({"2", "2", "2", "2", "2", "2", "2"}));
    EXPECT_EQ(Column(*table, C::Quality), QStringList({"100%", "96%", "80%", "60%", "46%", "38%", "24%"}));
    // The joined access point in bold, the others not.
    EXPECT_TRUE(table->model()->index(1, C::Ssid).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(table->model()->index(0, C::Ssid).data(Qt::FontRole).value<QFont>().bold());

    Ctl<QLineEdit>(*survey, "Edit_SurveySsidFilter")->setText("wifi");
    EXPECT_EQ(Column(*table, C::Ssid), QStringList({"우리집_WiFi"}));
    Ctl<QLineEdit>(*survey, "Edit_SurveySsidFilter")->clear();
    Ctl<QSpinBox>(*survey, "Spin_SurveyMinRssi")->setValue(-60);
    EXPECT_EQ(Column(*table, C::Ssid), QStringList({"3F_회의실", "Office-2G", "Lab, second floor"}));
}

TEST(SurveyAccessPointTable, NumbersSortAsNumbersAndMissingValuesLast)
{
    TSurveySession session;
    auto row = [](const char16_t* ssid, const char16_t* channel, std::optional<std::u16string> rssi) {
        TScanRow scanRow;
        scanRow.ssid = ssid;
        scanRow.channel = channel;
        scanRow.rssi = rssi;
        return scanRow;
    };
    TScanReply scan;
    scan.rows = {row(u"b", u"11", u"-80"), row(u"a", u"2", std::nullopt), row(u"c", u"6", u"-45"), row(u"d", u"x", u"-100")};
    session.AddScan(1000, TAsker::Survey, scan);
    TSurveyAccessPointModel model(session);
    model.Refresh(2000);
    TSurveyAccessPointFilter view;
    view.setSourceModel(&model);

    struct TCase {
        int column;
        Qt::SortOrder order;
        QString ssids;
    };
    using C = TSurveyAccessPointModel;
    const std::vector<TCase> cases = {
        {C::Rssi, Qt::DescendingOrder, "cbda"}, // -45 above -80 above -100; missing last
        {C::Rssi, Qt::AscendingOrder, "dbca"},  // missing last this way too
        {C::Channel, Qt::AscendingOrder, "acbd"}, // 2 before 6 before 11, as numbers
        {C::Ssid, Qt::AscendingOrder, "abcd"},
        {C::Minimum, Qt::DescendingOrder, "cbda"},
    };
    for (const TCase& test : cases) {
        view.sort(test.column, test.order);
        QString ssids;
        for (int r = 0; r < view.rowCount(); ++r)
            ssids += view.index(r, C::Ssid).data().toString();
        EXPECT_EQ(ssids, test.ssids) << "column " << test.column << " order " << test.order;
    }
    EXPECT_EQ(view.index(3, C::Rssi).data().toString(), "-"); // missing shown as a dash
}

TEST(SurveyUnanswered, AReadLeftUnansweredForTheIntervalIsAGapAndTheNextGoesOutOnTime)
{
    // Every reply comes 1.8 s after its read; the survey reads every second.
    TTempWorkingFolder folder;
    folder.MakeFolder(QStringLiteral("Log"));
    SimulatorProcess simulator({"--quiet", "--delay", "1800"});
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
    form.show();
    form.DeviceLink().Port().SetPort(simulator.linkPath());
    Ctl<QPushButton>(form, "ButtonStart")->click();
    Ctl<QAction>(form, "Action_SignalSurvey")->trigger();
    TSurveyWindow* survey = form.SurveyWindow();
    ASSERT_NE(survey, nullptr);
    ASSERT_EQ(Ctl<QComboBox>(*survey, "CB_SurveyInterval")->currentText(), "1 s");

    // The first read is given up after a second and the next goes out then; the late reply is a
    // reading all the same.
    ASSERT_TRUE(QTest::qWaitFor([&] { return survey->Session().Gaps() >= 1 && !survey->Session().Samples().empty(); }, 4000));
    survey->Refresh();
    EXPECT_TRUE(Ctl<QLabel>(*survey, "Lb_SurveyState")->text().contains(QRegularExpression(", \\d+ reads? unanswered")))
        << Ctl<QLabel>(*survey, "Lb_SurveyState")->text().toStdString();
}

TEST_F(SurveyWithSimulator, TheCsvExportAndTheChartPictureRefuseWhatIsNotARegularFile)
{
    Connect();
    TSurveyWindow* survey = OpenSurvey();
    ASSERT_NE(survey, nullptr);
    ASSERT_TRUE(WaitForReadings(*survey, 1));
    ASSERT_EQ(::mkfifo(folder.File("fifo").toLocal8Bit().constData(), 0600), 0); // nobody reads it
    ASSERT_TRUE(QFile::link("fifo", folder.File("to-fifo")));
    for (const auto& [name, why] : {std::pair{"Log", "it is a folder, not a regular file"},
                                    {"fifo", "it is a FIFO, not a regular file"},
                                    {"to-fifo", "it is a link to a FIFO, not a regular file"}}) {
        for (const bool csv : {true, false}) {
            EXPECT_FALSE(csv ? survey->ExportCsv(folder.File(name)) : survey->SaveChartPng(folder.File(name)));
            survey->Refresh();
            EXPECT_TRUE(Ctl<QLabel>(*survey, "Lb_SurveyState")->text().endsWith(QStringLiteral("cannot write %1: %2").arg(folder.File(name), why)))
                << Ctl<QLabel>(*survey, "Lb_SurveyState")->text().toStdString();
        }
    }
    ASSERT_TRUE(survey->SaveChartPng(folder.File("chart.png")));
    EXPECT_TRUE(ReadWholeFile(folder.File("chart.png")).startsWith("\x89PNG\r\n\x1a\n"));
}
