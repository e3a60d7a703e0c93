// survey: the signal read at an interval for a while, scans now and then, one line per reading
// and a summary at the end (or at Ctrl+C), the whole session as CSV on request.
//
// Readings are due at 0, interval, 2 x interval, ... from the start, as many as fit before the
// duration ends (5 s at 1 s: 0 to 4 s, five readings); a reading that comes late does not move
// the later ones. The session is the survey layer's: its recorder takes the replies off the
// link, so the statistics are the ones the window shows.
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "cli/commands.h"
#include "cli/session_wording.h"
#include "cli/failure.h"
#include "shell/termination_signals.h"
#include "shell/whole_file.h"
#include "survey/channel_load.h"
#include "survey/survey_csv.h"
#include "survey/survey_recorder.h"

namespace r7730::cli {
namespace {

constexpr int kBarWidth = 20;

QJsonValue OrNull(std::optional<int> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue OrNull(std::optional<double> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

QString Fixed(std::optional<double> value, int decimals)
{
    return value ? QString::number(*value, 'f', decimals) : QStringLiteral("-");
}

QString Whole(std::optional<int> value)
{
    return value ? QString::number(*value) : QStringLiteral("-");
}

QString Row(const QString& time, const QString& rssi, const QString& quality, const QString& bar, const QString& ssid)
{
    return Padded(time, 14) + Padded(rssi, 7) + Padded(quality, 9) + Padded(bar, kBarWidth + 2) + ssid;
}

QString Bar(std::optional<int> quality)
{
    const int filled = quality ? (*quality * kBarWidth + 50) / 100 : 0;
    return QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('.'));
}

QString TimeText(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QJsonObject SampleJson(const TSurveySession& session, const TSignalSample& sample)
{
    return {{"time", SurveyTimeText(sample.msecs)},
            {"ssid", session.Text(sample.ssid)},
            {"rssi", OrNull(sample.Rssi())},
            {"quality", OrNull(sample.Quality())}};
}

QJsonObject StatisticsJson(const TValueStatistics& statistics, bool withDeviation)
{
    QJsonObject json{{"n", statistics.Count()},
                     {"min", OrNull(statistics.Minimum())},
                     {"avg", OrNull(statistics.Mean())},
                     {"max", OrNull(statistics.Maximum())}};
    if (withDeviation)
        json.insert("sd", OrNull(statistics.StandardDeviation()));
    return json;
}

QJsonArray AccessPointsJson(const TSurveySession& session)
{
    QJsonArray json;
    for (const TAccessPointSummary& point : session.AccessPoints())
        json.append(QJsonObject{{"ssid", point.ssid},
                                {"channel", point.channel > 0 ? QJsonValue(point.channel) : QJsonValue(point.channelText)},
                                {"rssi", OrNull(point.lastRssi)},
                                {"min", OrNull(point.rssi.Minimum())},
                                {"avg", OrNull(point.rssi.Mean())},
                                {"max", OrNull(point.rssi.Maximum())},
                                {"auth", point.auth},
                                {"seen", point.timesSeen}});
    return json;
}

// The summary for a person, and its JSON twin.
QJsonObject Summarize(const TSurveySession& session, TOutput& output)
{
    const TValueStatistics& rssi = session.Rssi();
    const TValueStatistics& quality = session.Quality();
    const int samples = static_cast<int>(session.Samples().size());
    output.Line();
    QString sampleText = QStringLiteral("%1 (%2 with an RSSI)").arg(samples).arg(rssi.Count());
    if (session.Gaps() > 0)
        sampleText += QStringLiteral("; %1 %2 unanswered").arg(session.Gaps()).arg(session.Gaps() == 1 ? "read" : "reads");
    output.Fields({{"samples", sampleText},
                   {"rssi", QStringLiteral("min %1  avg %2  max %3  sd %4 dBm (population, N=%5)")
                                .arg(Whole(rssi.Minimum()), Fixed(rssi.Mean(), 1), Whole(rssi.Maximum()),
                                     Fixed(rssi.StandardDeviation(), 2))
                                .arg(rssi.Count())},
                   {"quality", QStringLiteral("min %1  avg %2  max %3 %")
                                   .arg(Whole(quality.Minimum()), Fixed(quality.Mean(), 1), Whole(quality.Maximum()))}},
                  kLabelWidth);
    QJsonObject json{{"samples", samples},
                     {"unanswered", session.Gaps()},
                     {"rssi", StatisticsJson(rssi, true)},
                     {"quality", StatisticsJson(quality, false)}};

    if (session.Scans() == 0) {
        output.Fields({{"channels", QStringLiteral("no scan taken (--scan-every SECONDS scans now and then)")}}, kLabelWidth);
        json.insert("scans", 0);
        json.insert("channels", QJsonArray());
        json.insert("quietest", QJsonValue());
        return json;
    }
    const std::vector<TChannelLoad> loads = ChannelLoads(session.AccessPoints());
    QList<QStringList> rows = {{"CH", "APS", "STRONGEST", "WITHIN 2"}};
    QJsonArray channels;
    for (const TChannelLoad& load : loads) {
        rows.append({QString::number(load.channel), QString::number(load.accessPoints), Whole(load.strongest),
                     QString::number(load.withinReach)});
        channels.append(QJsonObject{{"channel", load.channel},
                                    {"access_points", load.accessPoints},
                                    {"strongest", OrNull(load.strongest)},
                                    {"within_two", load.withinReach}});
    }
    const int quietest = QuietestChannel(loads);
    output.Fields({{"channels", QStringLiteral("%1 %2, %3 access points")
                                               .arg(session.Scans())
                                               .arg(session.Scans() == 1 ? "scan" : "scans")
                                               .arg(session.AccessPoints().size())}},
                  kLabelWidth);
    output.Table(rows);
    output.Fields({{"quietest", QStringLiteral("%1 (of 1, 6 and 11: fewest access points within two channels)").arg(quietest)}},
                  kLabelWidth);
    json.insert("scans", session.Scans());
    json.insert("channels", channels);
    json.insert("quietest", quietest);
    return json;
}

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The survey's CSV file, growing as the readings come.
class TCsvFile {
public:
    // Points out what earlier surveys to path left and makes the partial file; raises TCliFailure
    // (exit 2) for a path that cannot take the file.
    TCsvFile(const QString& path, TOutput& output, QJsonObject& document) : path_(path)
    {
        if (path.isEmpty())
            return;
        const std::string name = QFile::encodeName(path).toStdString();
        QJsonArray left;
        for (const std::string& partial : PartialFilesOf(name)) {
            QFile file(QFile::decodeName(QByteArray::fromStdString(partial)));
            const int readings = file.open(QIODevice::ReadOnly) ? SurveyCsvReadings(file.readAll()) : 0;
            output.Line(QStringLiteral("an earlier survey to %1 was cut short: %2 holds its %3 %4")
                            .arg(path, file.fileName())
                            .arg(readings)
                            .arg(readings == 1 ? "reading" : "readings"));
            left.append(QJsonObject{{"file", file.fileName()}, {"readings", readings}});
        }
        if (!left.isEmpty())
            document.insert("unfinished_csv", left);
        if (!file_.Begin(name, std::nullopt))
            throw TCliFailure(kExitRefused, QStringLiteral("cannot write %1: %2")
                                                .arg(path, QString::fromStdString(WholeFileFailure(name, errno))));
        if (!file_.Append(SurveyCsvHeader().toStdString()))
            Failed();
    }

    // Left unfinished: removed when the survey never began (the port did not open, say), else
    // kept with every reading so far.
    ~TCsvFile()
    {
        if (!began_)
            file_.Abandon();
    }
    // The survey runs: from now on the partial file is worth keeping.
    void Began() { began_ = true; }
    TCsvFile(const TCsvFile&) = delete;
    TCsvFile& operator=(const TCsvFile&) = delete;

    // The lines of what the session gained; false (and the file left as it is) on a write error.
    bool Follow(const TSurveySession& session)
    {
        if (!file_.IsOpen())
            return true;
        const QString lines = follower_.NewLines(session);
        if (lines.isEmpty() || file_.Append(lines.toUtf8().toStdString()))
            return true;
        error_ = errno;
        return false;
    }

    // The partial file becomes the file named; raises TCliFailure (exit 1) when it cannot.
    void Finish()
    {
        if (!file_.IsOpen())
            return;
        const QString partial = QFile::decodeName(QByteArray::fromStdString(file_.PartialPath()));
        if (error_ == 0 && file_.Finish())
            return;
        throw TCliFailure(kExitDevice, QStringLiteral("cannot write %1: %2; the readings so far are in %3")
                                           .arg(path_, SystemText(error_ ? error_ : errno), partial));
    }

private:
    [[noreturn]] void Failed()
    {
        const int error = errno;
        file_.Abandon();
        throw TCliFailure(kExitDevice, QStringLiteral("cannot write %1: %2").arg(path_, SystemText(error)));
    }

    QString path_;
    TGrowingWholeFile file_;
    TSurveyCsvFollower follower_;
    int error_ = 0;
    bool began_ = false;
};

// The readings and scans, each followed by follow() (the CSV); ends at the duration, at an
// interruption, or when follow() fails.
void Survey(TCtlSession& session, TSurveyRecorder& recorder, TSurveySession& surveySession, const TSurveyInvocation& survey,
            TOutput& output, QJsonArray& samples, const std::function<bool()>& follow)
{
    // An unanswered read ends after the interval (a second at least): the next is due by then.
    const int readWaitMs = static_cast<int>(std::max<qint64>(survey.intervalMs, 1000));
    QElapsedTimer clock;
    clock.start();
    qint64 nextScanMs = 0;
    for (qint64 due = 0; !survey.durationMs || due < *survey.durationMs; due += survey.intervalMs) {
        if (due > clock.elapsed() && !session.Pause(static_cast<int>(due - clock.elapsed())))
            break;
        if (survey.scanEveryMs && due >= nextScanMs) {
            nextScanMs = due + *survey.scanEveryMs;
            const int before = surveySession.Scans();
            recorder.AsSurvey([&] { session.Run([&] { return session.Device().Scan(); }); });
            if (!follow() || session.Interrupted())
                break;
            if (surveySession.Scans() == before)
                output.Line(Row(TimeText(QDateTime::currentMSecsSinceEpoch()), "-", "-", "scan: no answer", ""));
            else
                output.Line(Row(TimeText(surveySession.Sightings().empty() ? QDateTime::currentMSecsSinceEpoch()
                                                                           : surveySession.Sightings().back().msecs),
                                "", "", QStringLiteral("scan: %1 access points").arg(surveySession.AccessPoints().size()), ""));
        }
        const std::size_t before = surveySession.Samples().size();
        recorder.AsSurvey([&] { session.Run([&] { return session.Device().ReadSignal(readWaitMs); }); });
        if (!follow() || session.Interrupted())
            break;
        if (surveySession.Samples().size() == before) {
            surveySession.AddGap();
            output.Line(Row(TimeText(QDateTime::currentMSecsSinceEpoch()), "-", "-", "no answer", ""));
            // The reads due while this one waited are not made up for in a burst.
            while (due + 2 * survey.intervalMs <= clock.elapsed())
                due += survey.intervalMs;
            continue;
        }
        for (std::size_t i = before; i < surveySession.Samples().size(); ++i) {
            const TSignalSample& sample = surveySession.Samples()[i];
            output.Line(Row(TimeText(sample.msecs), Whole(sample.Rssi()),
                            sample.Quality() ? QStringLiteral("%1%").arg(*sample.Quality()) : QStringLiteral("-"),
                            Bar(sample.Quality()), surveySession.Text(sample.ssid)));
            samples.append(SampleJson(surveySession, sample));
        }
    }
}

} // namespace

int SurveyCommand(const TInvocation& invocation, TOutput& output)
{
    const TSurveyInvocation& survey = invocation.survey;
    QJsonObject document;
    TCsvFile csv(survey.csvFile, output, document);
    const auto session = OpenSession(invocation, output);
    csv.Began();
    TSurveySession surveySession;
    TSurveyRecorder recorder(session->Link(), surveySession);
    const TTerminationSignals interruptible([&session] { session->Interrupt(); });
    QJsonArray samples;
    // Whatever ends the survey, the CSV takes its place; only a kill leaves the partial file.
    try {
        output.Line(Row("TIME", "RSSI", "QUALITY", "SIGNAL", "SSID"));
        output.Progress(survey.durationMs ? QStringLiteral("for %1 s, Ctrl+C ends it sooner").arg(*survey.durationMs / 1000.0)
                                          : QStringLiteral("until Ctrl+C"));
        Survey(*session, recorder, surveySession, survey, output, samples, [&] { return csv.Follow(surveySession); });
    } catch (...) {
        csv.Follow(surveySession);
        try {
            csv.Finish();
        } catch (const TCliFailure&) {
            // The failure that ended the survey is the one to tell.
        }
        throw;
    }

    document.insert("port", session->PortName());
    document.insert("samples", samples);
    document.insert("access_points", AccessPointsJson(surveySession));
    document.insert("summary", Summarize(surveySession, output));
    csv.Finish();
    if (!survey.csvFile.isEmpty()) {
        output.Fields({{"csv", survey.csvFile}}, kLabelWidth);
        document.insert("csv", survey.csvFile);
    }
    output.SetDocument(document);
    return kExitDone;
}

} // namespace r7730::cli
