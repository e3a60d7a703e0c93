// A survey session's statistics, per segment between markers, its access points merged over the
// scans, the channels' loads and the quietest channel, and its CSV export read back.
#include <QString>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

#include "provision/csv_reader.h"
#include "survey/channel_load.h"
#include "survey/survey_csv.h"
#include "survey/survey_session.h"

using namespace r7730;

namespace {

// A signal reply as the decoder gives it: "NOINFO", a number, or a text that is none.
TSignalReply Signal(const char* rssiText, const char16_t* ssid = u"Office")
{
    TSignalReply reply;
    reply.ssid = ssid;
    reply.rssiText = std::u16string(QString::fromLatin1(rssiText).toStdU16String());
    reply.noInfo = reply.rssiText == u"NOINFO";
    bool number = false;
    const int rssi = QString::fromLatin1(rssiText).toInt(&number);
    if (number)
        reply.quality = RssiToQuality(rssi);
    return reply;
}

TScanRow Row(const char16_t* ssid, const char16_t* channel, std::optional<std::u16string> rssi, const char16_t* auth = u"WPA2-PSK")
{
    TScanRow row;
    row.ssid = ssid;
    row.channel = channel;
    row.rssi = rssi;
    if (rssi) {
        row.quality = QStringLiteral("%1%").arg(RssiToQuality(QString::fromStdU16String(*rssi).toInt())).toStdU16String();
        row.authMode = auth;
    }
    return row;
}

TScanReply Scan(std::vector<TScanRow> rows)
{
    TScanReply reply;
    reply.rows = std::move(rows);
    return reply;
}

struct TExpectedStatistics {
    int samples;
    int count;
    std::optional<int> minimum, maximum;
    std::optional<double> mean, deviation;
};

void ExpectStatistics(const TValueStatistics& actual, int actualSamples, const TExpectedStatistics& expected)
{
    EXPECT_EQ(actualSamples, expected.samples);
    EXPECT_EQ(actual.Count(), expected.count);
    EXPECT_EQ(actual.Minimum(), expected.minimum);
    EXPECT_EQ(actual.Maximum(), expected.maximum);
    ASSERT_EQ(actual.Mean().has_value(), expected.mean.has_value());
    if (expected.mean) {
        EXPECT_NEAR(*actual.Mean(), *expected.mean, 1e-9);
    }
    ASSERT_EQ(actual.StandardDeviation().has_value(), expected.deviation.has_value());
    if (expected.deviation) {
        EXPECT_NEAR(*actual.StandardDeviation(), *expected.deviation, 1e-6);
    }
}

} // namespace

TEST(SurveySession, StatisticsOfTheSessionAndOfEachSegmentBetweenMarkers)
{
    // Readings and markers in order; a marker is "marker:LABEL" (empty: named in turn).
    struct TCase {
        const char* name;
        std::vector<const char*> steps;
        TExpectedStatistics session;
        std::vector<std::pair<QString, TExpectedStatistics>> segments;
    };
    const std::vector<TCase> cases = {
        {"nothing read", {}, {0, 0, {}, {}, {}, {}}, {{"", {0, 0, {}, {}, {}, {}}}}},
        {"one reading", {"-65"}, {1, 1, -65, -65, -65.0, 0.0}, {{"", {1, 1, -65, -65, -65.0, 0.0}}}},
        {"missing values count as readings only",
         {"-70", "NOINFO", "-6x", "-60"},
         {4, 2, -70, -60, -65.0, 5.0},
         {{"", {4, 2, -70, -60, -65.0, 5.0}}}},
        {"segments between markers, one left empty",
         {"-70", "-65", "marker:", "-60", "NOINFO", "-75", "marker:", "marker:door", "NOINFO"},
         {6, 4, -75, -60, -67.5, std::sqrt(31.25)},
         {{"", {2, 2, -70, -65, -67.5, 2.5}},
          {"spot A", {3, 2, -75, -60, -67.5, 7.5}},
          {"spot B", {0, 0, {}, {}, {}, {}}},
          {"door", {1, 0, {}, {}, {}, {}}}}},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.name);
        TSurveySession session;
        qint64 msecs = 1000;
        for (const char* step : test.steps) {
            const QString text = QString::fromLatin1(step);
            if (text.startsWith("marker:"))
                session.DropMarker(msecs++, text.mid(7));
            else
                session.AddSignal(msecs++, TAsker::Survey, Signal(step));
        }
        ExpectStatistics(session.Rssi(), static_cast<int>(session.Samples().size()), test.session);
        ASSERT_EQ(session.Segments().size(), test.segments.size());
        for (std::size_t i = 0; i < test.segments.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(session.Segments()[i].label, test.segments[i].first);
            ExpectStatistics(session.Segments()[i].rssi, session.Segments()[i].samples, test.segments[i].second);
        }
    }
}

TEST(SurveySession, ScansMergeBySsidAndChannel)
{
    TSurveySession session;
    session.AddScan(1000, TAsker::Survey,
                    Scan({Row(u"Office", u"1", u"-50"), Row(u"Guest", u"6", u"-80", u"OPEN"), Row(u"Office", u"11", u"-70")}));
    session.AddScan(5000, TAsker::Other, Scan({Row(u"Office", u"1", u"-40"), Row(u"Guest", u"6", std::nullopt)}));
    session.AddSignal(6000, TAsker::Survey, Signal("-41", u"Office"));

    struct TExpected {
        QString ssid;
        int channel;
        std::optional<int> last, minimum, maximum;
        std::optional<double> mean;
        QString auth;
        int seen;
        qint64 lastSeen;
    };
    const std::vector<TExpected> expected = {
        {"Office", 1, -40, -50, -40, -45.0, "WPA2-PSK", 2, 5000},
        {"Guest", 6, {}, -80, -80, -80.0, "OPEN", 2, 5000}, // the second scan cut its row short
        {"Office", 11, -70, -70, -70, -70.0, "WPA2-PSK", 1, 1000},
    };
    const std::vector<TAccessPointSummary>& points = session.AccessPoints();
    ASSERT_EQ(points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(points[i].ssid, expected[i].ssid);
        EXPECT_EQ(points[i].channel, expected[i].channel);
        EXPECT_EQ(points[i].lastRssi, expected[i].last);
        EXPECT_EQ(points[i].rssi.Minimum(), expected[i].minimum);
        EXPECT_EQ(points[i].rssi.Maximum(), expected[i].maximum);
        EXPECT_EQ(points[i].rssi.Mean(), expected[i].mean);
        EXPECT_EQ(points[i].auth, expected[i].auth);
        EXPECT_EQ(points[i].timesSeen, expected[i].seen);
        EXPECT_EQ(points[i].lastSeenMsecs, expected[i].lastSeen);
    }
    EXPECT_EQ(session.Scans(), 2);
    EXPECT_EQ(session.Sightings().size(), 5u);
    EXPECT_EQ(session.JoinedSsid(), "Office");
}

TEST(SurveySession, ChannelLoadsAndTheQuietestOfOneSixAndEleven)
{
    // Access points as channel and strongest RSSI; the quietest of 1, 6 and 11 they leave.
    struct TCase {
        const char* name;
        std::vector<std::pair<int, int>> points;
        int quietest;
    };
    const std::vector<TCase> cases = {
        {"nothing seen: the lowest", {}, 1},
        {"fewest within two channels", {{1, -80}, {3, -85}, {6, -50}, {11, -70}, {13, -90}}, 6},
        {"the overlap counts: 4 reaches 6, 9 reaches 11", {{4, -90}, {9, -90}, {1, -90}, {2, -90}}, 6},
        {"equal counts: the weaker strongest", {{1, -60}, {6, -75}, {11, -70}}, 6},
        {"equal counts and strengths: the lower channel", {{1, -70}, {6, -70}, {11, -70}}, 1},
        {"5 GHz channels crowd no 2.4 GHz one", {{1, -60}, {6, -60}, {36, -40}, {40, -40}, {11, -65}}, 11},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.name);
        TSurveySession session;
        std::vector<TScanRow> rows;
        for (const auto& [channel, rssi] : test.points)
            rows.push_back(Row(u"AP", QString::number(channel).toStdU16String().c_str(), QString::number(rssi).toStdU16String()));
        session.AddScan(1000, TAsker::Survey, Scan(rows));
        EXPECT_EQ(QuietestChannel(ChannelLoads(session.AccessPoints())), test.quietest);
    }

    TSurveySession session;
    session.AddScan(1000, TAsker::Survey,
                    Scan({Row(u"A", u"1", u"-52"), Row(u"B", u"1", u"-70"), Row(u"C", u"3", u"-81"), Row(u"D", u"14", u"-60"),
                          Row(u"E", u"x", u"-60")}));
    const std::vector<TChannelLoad> loads = ChannelLoads(session.AccessPoints());
    ASSERT_EQ(loads.size(), 14u); // 1 to 13, and 14 since one is there; "x" is no channel
    EXPECT_EQ(loads[0].channel, 1);
    EXPECT_EQ(loads[0].accessPoints, 2);
    EXPECT_EQ(loads[0].strongest, -52);
    EXPECT_EQ(loads[0].withinReach, 3);
    EXPECT_EQ(loads[4].channel, 5);
    EXPECT_EQ(loads[4].accessPoints, 0);
    EXPECT_EQ(loads[4].strongest, std::nullopt);
    EXPECT_EQ(loads[4].withinReach, 1);
    EXPECT_EQ(loads[13].channel, 14);
    EXPECT_EQ(loads[13].withinReach, 1);
}

TEST(SurveySession, TheCsvReadBackEqualsTheSession)
{
    // 2024-05-01 01:00:00.123 UTC, written in Seoul time.
    setenv("TZ", "Asia/Seoul", 1);
    tzset();
    const qint64 start = 1714525200123;
    TSurveySession session;
    session.AddSignal(start, TAsker::Survey, Signal("-65", u"우리집_WiFi"));
    session.AddScan(start + 500, TAsker::Other,
                    Scan({Row(u"Lab, \"east\"", u"6", u"-60", u"OPEN"), Row(u"Guest", u"11", std::nullopt)}));
    session.DropMarker(start + 700);
    session.AddSignal(start + 1000, TAsker::Other, Signal("NOINFO", u""));
    session.AddSignal(start + 2000, TAsker::Survey, Signal("-58", u"우리집_WiFi"));

    const QString csv = SurveyCsv(session);
    EXPECT_TRUE(csv.startsWith("time,kind,ssid,channel,rssi,quality,marker,asked_by,auth\r\n"
                               "2024-05-01T10:00:00.123+09:00,poll,우리집_WiFi,,-65,70,,survey,\r\n"
                               "2024-05-01T10:00:00.623+09:00,scan,\"Lab, \"\"east\"\"\",6,-60,80,,main window,OPEN\r\n"))
        << csv.toStdString();

    const std::vector<provision::TCsvRecord> records = provision::ReadCsv(csv);
    const std::vector<std::vector<QString>> expected = {
        {"time", "kind", "ssid", "channel", "rssi", "quality", "marker", "asked_by", "auth"},
        {"2024-05-01T10:00:00.123+09:00", "poll", "우리집_WiFi", "", "-65", "70", "", "survey", ""},
        {"2024-05-01T10:00:00.623+09:00", "scan", "Lab, \"east\"", "6", "-60", "80", "", "main window", "OPEN"},
        {"2024-05-01T10:00:00.623+09:00", "scan", "Guest", "11", "", "", "", "main window", ""},
        {"2024-05-01T10:00:01.123+09:00", "poll", "", "", "", "", "spot A", "main window", ""},
        {"2024-05-01T10:00:02.123+09:00", "poll", "우리집_WiFi", "", "-58", "84", "spot A", "survey", ""},
    };
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        std::vector<QString> cells;
        for (const provision::TCsvCell& cell : records[i].cells)
            cells.push_back(cell.text);
        EXPECT_EQ(cells, expected[i]) << "line " << i + 1;
    }
    // And the other way round: every reading of the session is a line.
    std::size_t polls = 0;
    for (const provision::TCsvRecord& record : records)
        polls += record.cells[1].text == "poll";
    EXPECT_EQ(polls, session.Samples().size());
}

TEST(SurveySession, TheCsvFollowsTheSessionLineByLineAndItsReadingsAreCounted)
{
    setenv("TZ", "Asia/Seoul", 1);
    tzset();
    const qint64 start = 1714525200123;
    TSurveySession session;
    TSurveyCsvFollower follower;
    EXPECT_EQ(follower.NewLines(session), "");
    session.AddSignal(start, TAsker::Survey, Signal("-65", u"Office"));
    EXPECT_EQ(follower.NewLines(session), "2024-05-01T10:00:00.123+09:00,poll,Office,,-65,70,,survey,\r\n");
    session.AddScan(start + 500, TAsker::Other, Scan({Row(u"x,poll,y", u"6", u"-60", u"OPEN")}));
    session.AddSignal(start + 1000, TAsker::Other, Signal("NOINFO", u""));
    EXPECT_EQ(follower.NewLines(session), "2024-05-01T10:00:00.623+09:00,scan,\"x,poll,y\",6,-60,80,,main window,OPEN\r\n"
                                          "2024-05-01T10:00:01.123+09:00,poll,,,,,,main window,\r\n");
    EXPECT_EQ(follower.NewLines(session), "");
    EXPECT_EQ(follower.Readings(), 2u);
    session.Clear();
    session.AddSignal(start, TAsker::Survey, Signal("-65", u"Office"));
    EXPECT_EQ(follower.NewLines(session), "2024-05-01T10:00:00.123+09:00,poll,Office,,-65,70,,survey,\r\n") << "a new session";

    EXPECT_EQ(SurveyCsvReadings("time,kind,ssid,channel,rssi,quality,marker,asked_by,auth\r\n"
                                "2024-05-01T10:00:00.123+09:00,poll,Office,,-65,70,,survey,\r\n"
                                "2024-05-01T10:00:00.623+09:00,scan,\"x,poll,y\",6,-60,80,,main window,OPEN\r\n"
                                "2024-05-01T10:00:01.123+09:00,poll,,,,,,main window,\r\n"
                                "2024-05-01T10:00:02.1"),
              2);
}
