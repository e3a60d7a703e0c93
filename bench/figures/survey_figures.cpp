// Figures of the signal survey, each beside an anchor measured in the same run. Nothing is
// asserted.
//   repaint  the strip chart repainting a 60-minute session read at 1 Hz (3,600 readings), beside
//            the same chart with one minute of readings: it draws one point per pixel column, so
//            the hour should cost about what the minute does
//   memory   a 24-hour session at 1 Hz (86,400 readings, every one kept for the export) shown in
//            an open chart: the process's resident memory as the session grows, beside the bytes
//            of the readings themselves
// Usage: survey_figures [--only repaint|memory]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "survey/survey_session.h"
#include "window/widgets/strip_chart.h"

using namespace r7730;

namespace {

constexpr qint64 kStart = 1714525200000;

class TSessionPoints : public IStripChartData {
public:
    explicit TSessionPoints(const TSurveySession& session) : session_(session) {}
    qsizetype PointCount() const override { return static_cast<qsizetype>(session_.Samples().size()); }
    qint64 TimeAt(qsizetype i) const override { return session_.Samples()[static_cast<std::size_t>(i)].msecs; }
    std::optional<int> ValueAt(int series, qsizetype i) const override
    {
        const TSignalSample& sample = session_.Samples()[static_cast<std::size_t>(i)];
        return series == 0 ? sample.Rssi() : sample.Quality();
    }

private:
    const TSurveySession& session_;
};

// Readings at 1 Hz wandering between -85 and -45 dBm, now and then none.
void AddReadings(TSurveySession& session, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::size_t n = session.Samples().size();
        TSignalReply reply;
        reply.ssid = u"Office-2G";
        const int rssi = -65 + static_cast<int>(std::lround(20 * std::sin(static_cast<double>(n) / 300.0))) + static_cast<int>(n % 7) - 3;
        reply.noInfo = n % 997 == 0;
        reply.rssiText = reply.noInfo ? u"NOINFO" : QString::number(rssi).toStdU16String();
        if (!reply.noInfo)
            reply.quality = RssiToQuality(rssi);
        session.AddSignal(kStart + static_cast<qint64>(n) * 1000, n % 3 ? TAsker::Survey : TAsker::Other, reply);
    }
}

TStripChart* MakeChart(const IStripChartData& data, qint64 spanMs)
{
    auto* chart = new TStripChart;
    chart->SetSeries({{"RSSI", Qt::blue, -100, -20, false, "dBm"}, {"Quality", Qt::red, 0, 100, true, "%"}});
    chart->SetData(&data);
    chart->SetSpanMs(spanMs);
    chart->resize(960, 300);
    chart->show();
    QApplication::processEvents();
    return chart;
}

// Median milliseconds of a synchronous repaint.
double RepaintMs(TStripChart& chart, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        chart.repaint();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double ResidentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return 0;
}

void Repaint()
{
    TSurveySession hour, minute;
    AddReadings(hour, 3600);
    AddReadings(minute, 60);
    const TSessionPoints hourPoints(hour), minutePoints(minute);
    TStripChart* hourChart = MakeChart(hourPoints, 60 * 60 * 1000);
    TStripChart* minuteChart = MakeChart(minutePoints, 60 * 1000);
    RepaintMs(*hourChart, 20); // warm
    const double hourMs = RepaintMs(*hourChart, 200);
    const double minuteMs = RepaintMs(*minuteChart, 200);
    std::printf("Survey chart repaint, 960 x 300 pixels, median of 200 (target: under 5 ms for the hour):\n");
    std::printf("  60 min at 1 Hz, %lld readings in %d columns   %6.2f ms\n", static_cast<long long>(hourChart->PointsInSpan()),
                hourChart->ColumnsDrawn(), hourMs);
    std::printf("  anchor: 1 min at 1 Hz, %lld readings            %6.2f ms\n",
                static_cast<long long>(minuteChart->PointsInSpan()), minuteMs);
    delete hourChart;
    delete minuteChart;
}

void Memory()
{
    auto* session = new TSurveySession;
    const TSessionPoints points(*session);
    TStripChart* chart = MakeChart(points, 60 * 60 * 1000);
    const double before = ResidentMb();
    std::printf("Survey session of 24 h at 1 Hz in an open chart (target: under 10 MB, growing linearly):\n");
    for (int hours : {6, 12, 18, 24}) {
        AddReadings(*session, 6 * 3600);
        chart->repaint();
        std::printf("  %2d h, %6zu readings   resident +%5.1f MB\n", hours, session->Samples().size(), ResidentMb() - before);
    }
    std::printf("  anchor: the readings' own bytes   %5.1f MB (%zu bytes each)\n",
                static_cast<double>(session->Samples().size() * sizeof(TSignalSample)) / (1024.0 * 1024.0), sizeof(TSignalSample));
    delete chart;
    delete session;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    std::string only;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--only")
            only = argv[i + 1];
    if (only.empty() || only == "repaint")
        Repaint();
    if (only.empty() || only == "memory")
        Memory();
    return 0;
}
