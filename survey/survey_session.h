#pragma once
// One survey session: every signal reading and every scanned access point, in the order they
// came, with the markers a technician drops while walking the unit from spot to spot.
//
// Principles of operation. A session runs for hours at one reading a second, and every reading
// is kept for the export, so a reading is a small fixed record (its SSID an index into the
// session's texts). Everything shown about it is kept up to date as readings arrive, in
// constant time each: the statistics of the whole session and of each segment (a marker begins
// one; the readings before the first marker form the first), and the access points of every
// scan merged by SSID and channel. A marker belongs to the time it was dropped: the readings
// after it are its segment's.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "protocol/reply_decoders.h"
#include "survey/value_statistics.h"

namespace r7730 {

// Who asked for a reading: the survey's own request, or anybody else on the link (the main
// window's polling and its buttons).
enum class TAsker : std::uint8_t { Survey, Other };

// One signal reading.
struct TSignalSample {
    static constexpr std::int16_t kNone = INT16_MIN;
    qint64 msecs = 0;              // wall clock, milliseconds since the epoch
    std::int16_t rssi = kNone;     // dBm; kNone: "NOINFO" or not a number
    std::int8_t quality = -1;      // percent; -1 with no RSSI
    TAsker asker = TAsker::Survey;
    std::uint16_t ssid = 0;        // index into the session's texts
    std::optional<int> Rssi() const { return rssi == kNone ? std::nullopt : std::optional<int>(rssi); }
    std::optional<int> Quality() const { return quality < 0 ? std::nullopt : std::optional<int>(quality); }
};

// One access point as one scan listed it.
struct TScanSighting {
    qint64 msecs = 0;
    std::int16_t rssi = TSignalSample::kNone;
    std::int8_t quality = -1;
    TAsker asker = TAsker::Survey;
    std::uint16_t ssid = 0;
    std::uint16_t channel = 0;     // the channel's text, an index into the session's texts
    std::uint16_t auth = 0;
    std::optional<int> Rssi() const { return rssi == TSignalSample::kNone ? std::nullopt : std::optional<int>(rssi); }
    std::optional<int> Quality() const { return quality < 0 ? std::nullopt : std::optional<int>(quality); }
};

// The readings from a marker (or from the start) to the next marker (or to now).
struct TSegment {
    QString label;          // empty for the readings before the first marker
    qint64 msecs = 0;       // when the marker was dropped; the session's first reading for the first
    std::size_t firstSample = 0;
    TValueStatistics rssi;
    TValueStatistics quality;
    int samples = 0;        // readings, with an RSSI or without
};

// An access point merged over every scan of the session.
struct TAccessPointSummary {
    QString ssid;
    QString channelText;
    int channel = 0;                 // 0 when the text is not a channel number
    std::optional<int> lastRssi;
    std::optional<int> lastQuality;
    TValueStatistics rssi;
    QString auth;
    int timesSeen = 0;
    qint64 lastSeenMsecs = 0;
};

class TSurveySession {
public:
    TSurveySession();

    // A signal reply at msecs, as a reading.
    void AddSignal(qint64 msecs, TAsker asker, const TSignalReply& reply);
    // A signal read that got no answer in time: a gap in the readings.
    void AddGap() { ++gaps_; }
    // A scan reply at msecs: each row a sighting, merged into the access points.
    void AddScan(qint64 msecs, TAsker asker, const TScanReply& reply);
    // Begins a segment at msecs; without a label it is called "spot A", "spot B", ... in turn.
    // Returns the label.
    QString DropMarker(qint64 msecs, const QString& label = {});
    // Forgets everything: a new session.
    void Clear();

    const std::vector<TSignalSample>& Samples() const { return samples_; }
    const std::vector<TScanSighting>& Sightings() const { return sightings_; }
    int Scans() const { return scans_; }
    // Signal reads of the survey's own left unanswered.
    int Gaps() const { return gaps_; }
    // At least one: the readings before the first marker.
    const std::vector<TSegment>& Segments() const { return segments_; }
    // The segment a reading belongs to.
    const TSegment& SegmentOf(std::size_t sample) const;
    const TValueStatistics& Rssi() const { return rssi_; }
    const TValueStatistics& Quality() const { return quality_; }
    // In the order first seen.
    const std::vector<TAccessPointSummary>& AccessPoints() const { return accessPoints_; }
    // The SSID of the newest signal reading that named one: the access point the unit joined.
    QString JoinedSsid() const { return joinedSsid_; }
    const QString& Text(std::uint16_t index) const { return texts_[index]; }

private:
    std::uint16_t TextIndex(const QString& text);

    std::vector<TSignalSample> samples_;
    std::vector<TScanSighting> sightings_;
    std::vector<TSegment> segments_;
    std::vector<TAccessPointSummary> accessPoints_;
    std::map<std::pair<QString, QString>, std::size_t> accessPointIndex_; // by SSID and channel text
    QStringList texts_;
    std::map<QString, std::uint16_t> textIndex_;
    TValueStatistics rssi_;
    TValueStatistics quality_;
    QString joinedSsid_;
    int scans_ = 0;
    int gaps_ = 0;
};

} // namespace r7730
