#include "survey/survey_csv.h"

#include <QDateTime>
#include <QStringList>

#include "shell/csv_line.h"

namespace r7730 {
namespace {

QString Number(std::optional<int> value)
{
    return value ? QString::number(*value) : QString();
}

// The label of the segment a scan at msecs falls in: the newest marker dropped before it.
const QString& MarkerAt(const TSurveySession& session, qint64 msecs)
{
    const std::vector<TSegment>& segments = session.Segments();
    std::size_t index = 0;
    for (std::size_t i = 1; i < segments.size() && segments[i].msecs <= msecs; ++i)
        index = i;
    return segments[index].label;
}

} // namespace

QString SurveyTimeText(qint64 msecs)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString AskerText(TAsker asker)
{
    return asker == TAsker::Survey ? QStringLiteral("survey") : QStringLiteral("main window");
}

QString SurveyCsvHeader()
{
    return CsvLine({"time", "kind", "ssid", "channel", "rssi", "quality", "marker", "asked_by", "auth"});
}

QString TSurveyCsvFollower::NewLines(const TSurveySession& session)
{
    const std::vector<TSignalSample>& samples = session.Samples();
    const std::vector<TScanSighting>& sightings = session.Sightings();
    if (samples_ > samples.size() || sightings_ > sightings.size())
        samples_ = sightings_ = 0; // the session began anew
    QString csv;
    std::size_t& s = samples_;
    std::size_t& t = sightings_;
    // Both lists are in time order; merged, a reading goes before a scan of the same millisecond.
    while (s < samples.size() || t < sightings.size()) {
        if (t == sightings.size() || (s < samples.size() && samples[s].msecs <= sightings[t].msecs)) {
            const TSignalSample& sample = samples[s];
            csv += CsvLine({SurveyTimeText(sample.msecs), QStringLiteral("poll"), session.Text(sample.ssid), QString(),
                         Number(sample.Rssi()), Number(sample.Quality()), session.SegmentOf(s).label,
                         AskerText(sample.asker), QString()});
            ++s;
        } else {
            const TScanSighting& seen = sightings[t];
            csv += CsvLine({SurveyTimeText(seen.msecs), QStringLiteral("scan"), session.Text(seen.ssid),
                         session.Text(seen.channel), Number(seen.Rssi()), Number(seen.Quality()),
                         MarkerAt(session, seen.msecs), AskerText(seen.asker), session.Text(seen.auth)});
            ++t;
        }
    }
    return csv;
}

QString SurveyCsv(const TSurveySession& session)
{
    TSurveyCsvFollower follower;
    return SurveyCsvHeader() + follower.NewLines(session);
}

int SurveyCsvReadings(const QByteArray& csv)
{
    // A line's second field is its kind; no field before it is ever quoted (a time).
    int readings = 0;
    for (const QByteArray& line : csv.split('\n')) {
        const qsizetype kind = line.indexOf(',');
        if (kind >= 0 && line.indexOf(",poll,") == kind)
            ++readings;
    }
    return readings;
}

} // namespace r7730
