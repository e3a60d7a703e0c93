#include "survey/survey_session.h"

#include <algorithm>

namespace r7730 {
namespace {

QString FromUtf16(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

// "-65", "70%" as numbers; absent when not a number.
std::optional<int> Number(const std::optional<std::u16string>& text)
{
    if (!text)
        return std::nullopt;
    bool number = false;
    const int value = FromUtf16(*text).remove(QLatin1Char('%')).trimmed().toInt(&number);
    return number ? std::optional<int>(value) : std::nullopt;
}

std::int16_t StoredRssi(std::optional<int> rssi)
{
    return rssi ? static_cast<std::int16_t>(std::clamp(*rssi, -32767, 32767)) : TSignalSample::kNone;
}

std::int8_t StoredQuality(std::optional<int> quality)
{
    return quality ? static_cast<std::int8_t>(std::clamp(*quality, 0, 100)) : std::int8_t(-1);
}

// A, B, ..., Z, AA, AB, ...: as a spreadsheet names its columns.
QString SpotName(std::size_t number)
{
    QString name;
    for (++number; number > 0; number = (number - 1) / 26)
        name.prepend(QChar(u'A' + static_cast<char16_t>((number - 1) % 26)));
    return QStringLiteral("spot %1").arg(name);
}

} // namespace

TSurveySession::TSurveySession()
{
    Clear();
}

void TSurveySession::Clear()
{
    samples_.clear();
    sightings_.clear();
    segments_.assign(1, TSegment{});
    accessPoints_.clear();
    accessPointIndex_.clear();
    texts_.clear();
    textIndex_.clear();
    TextIndex(QString()); // index 0: the empty text
    rssi_ = {};
    quality_ = {};
    joinedSsid_.clear();
    scans_ = 0;
    gaps_ = 0;
}

std::uint16_t TSurveySession::TextIndex(const QString& text)
{
    if (const auto found = textIndex_.find(text); found != textIndex_.end())
        return found->second;
    // Thousands of different SSIDs do not happen on one walk; past the table's end they read as empty.
    if (texts_.size() > UINT16_MAX)
        return 0;
    const auto index = static_cast<std::uint16_t>(texts_.size());
    texts_.append(text);
    textIndex_.emplace(text, index);
    return index;
}

void TSurveySession::AddSignal(qint64 msecs, TAsker asker, const TSignalReply& reply)
{
    std::optional<int> rssi;
    if (!reply.noInfo)
        rssi = Number(reply.rssiText);
    const QString ssid = FromUtf16(reply.ssid);
    if (!ssid.isEmpty())
        joinedSsid_ = ssid;
    TSignalSample sample{msecs, StoredRssi(rssi), StoredQuality(rssi ? reply.quality : std::nullopt), asker, TextIndex(ssid)};
    if (samples_.empty() && segments_.size() == 1)
        segments_.front().msecs = msecs;
    samples_.push_back(sample);
    TSegment& segment = segments_.back();
    ++segment.samples;
    if (const std::optional<int> value = sample.Rssi()) {
        rssi_.Add(*value);
        segment.rssi.Add(*value);
    }
    if (const std::optional<int> value = sample.Quality()) {
        quality_.Add(*value);
        segment.quality.Add(*value);
    }
}

void TSurveySession::AddScan(qint64 msecs, TAsker asker, const TScanReply& reply)
{
    ++scans_;
    for (const TScanRow& row : reply.rows) {
        const QString ssid = FromUtf16(row.ssid);
        const QString channel = FromUtf16(row.channel);
        const std::optional<int> rssi = Number(row.rssi);
        const std::optional<int> quality = rssi ? Number(row.quality) : std::nullopt;
        const QString auth = row.authMode ? FromUtf16(*row.authMode) : QString();
        sightings_.push_back({msecs, StoredRssi(rssi), StoredQuality(quality), asker, TextIndex(ssid), TextIndex(channel),
                              TextIndex(auth)});

        auto [entry, added] = accessPointIndex_.try_emplace({ssid, channel}, accessPoints_.size());
        if (added) {
            bool number = false;
            const int channelNumber = channel.toInt(&number);
            TAccessPointSummary point;
            point.ssid = ssid;
            point.channelText = channel;
            point.channel = number && channelNumber > 0 ? channelNumber : 0;
            accessPoints_.push_back(point);
        }
        TAccessPointSummary& point = accessPoints_[entry->second];
        point.lastRssi = rssi;
        point.lastQuality = quality;
        if (rssi)
            point.rssi.Add(*rssi);
        if (row.authMode)
            point.auth = auth;
        ++point.timesSeen;
        point.lastSeenMsecs = msecs;
    }
}

QString TSurveySession::DropMarker(qint64 msecs, const QString& label)
{
    const QString name = label.isEmpty() ? SpotName(segments_.size() - 1) : label;
    TSegment segment;
    segment.label = name;
    segment.msecs = msecs;
    segment.firstSample = samples_.size();
    segments_.push_back(segment);
    return name;
}

const TSegment& TSurveySession::SegmentOf(std::size_t sample) const
{
    const auto after = std::upper_bound(segments_.begin() + 1, segments_.end(), sample,
                                        [](std::size_t index, const TSegment& segment) { return index < segment.firstSample; });
    return *(after - 1);
}

} // namespace r7730
