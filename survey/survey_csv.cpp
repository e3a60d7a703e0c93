#include "survey/survey_csv.h"

#include <QDateTime>
#include <QStringList>

namespace r7730 {
namespace {

QString Cell(const QString& text)
{
    static const QString kSpecial = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (QChar c : text)
        quote = quote || kSpecial.contains(c);
    // Blanks at either end would be dropped by some readers; quoted they stay.
    quote = quote || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Line(const QStringList& cells)
{
    QStringList quoted;
    for (const QString& cell : cells)
        quoted << Cell(cell);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

QString Number(std::optional<int> value)
{
    return value ? QString::number(*value) : QString();
}

QString AskerText(TAsker asker)
{
    return asker == TAsker::Survey ? QStringLiteral("survey") : QStringLiteral("other");
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

QString SurveyCsv(const TSurveySession& session)
{
    QString csv = Line({"time", "kind", "ssid", "channel", "rssi", "quality", "marker", "asked_by", "auth"});
    const std::vector<TSignalSample>& samples = session.Samples();
    const std::vector<TScanSighting>& sightings = session.Sightings();
    std::size_t s = 0, t = 0;
    // Both lists are in time order; merged, a reading goes before a scan of the same millisecond.
    while (s < samples.size() || t < sightings.size()) {
        if (t == sightings.size() || (s < samples.size() && samples[s].msecs <= sightings[t].msecs)) {
            const TSignalSample& sample = samples[s];
            csv += Line({SurveyTimeText(sample.msecs), QStringLiteral("poll"), session.Text(sample.ssid), QString(),
                         Number(sample.Rssi()), Number(sample.Quality()), session.SegmentOf(s).label,
                         AskerText(sample.asker), QString()});
            ++s;
        } else {
            const TScanSighting& seen = sightings[t];
            csv += Line({SurveyTimeText(seen.msecs), QStringLiteral("scan"), session.Text(seen.ssid),
                         session.Text(seen.channel), Number(seen.Rssi()), Number(seen.Quality()),
                         MarkerAt(session, seen.msecs), AskerText(seen.asker), session.Text(seen.auth)});
            ++t;
        }
    }
    return csv;
}

} // namespace r7730
