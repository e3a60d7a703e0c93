#pragma once
// The whole session as a CSV table for a spreadsheet (RFC 4180 quoting, CRLF line ends, UTF-8):
// one line per signal reading and one per access point of each scan, in time order, under the
// header
//   time,kind,ssid,channel,rssi,quality,marker,asked_by,auth
// time: local time in ISO 8601 with milliseconds and the UTC offset; kind: poll (a signal
// reading) or scan; rssi and quality: numbers, empty when the reply had none; marker: the label
// of the marker whose segment the line falls in (empty before the first); asked_by: survey, or
// main window (its polling and buttons; AskerText words it the same for the window); auth: a
// scanned access point's authentication.
//
// The CSV can also be written as the session grows (a survey that may be killed keeps its lines
// on disk): TSurveyCsvFollower gives the lines of what came since it last looked.
#include <QString>

#include "survey/survey_session.h"

namespace r7730 {

QString SurveyCsv(const TSurveySession& session);

// "time,kind,...,auth" and its line end.
QString SurveyCsvHeader();

class TSurveyCsvFollower {
public:
    // The lines of the readings and scanned access points added since the last call, in time
    // order; everything after Clear of the session as well.
    QString NewLines(const TSurveySession& session);
    // Readings (kind poll) in the lines given so far.
    std::size_t Readings() const { return samples_; }

private:
    std::size_t samples_ = 0;
    std::size_t sightings_ = 0;
};

// The readings in a survey CSV's text: its lines of kind poll.
int SurveyCsvReadings(const QByteArray& csv);

// Who asked for a reading, as the CSV and the window word it: "survey", "main window".
QString AskerText(TAsker asker);

// A time as the CSV writes it: "2024-05-01T10:00:00.123+09:00".
QString SurveyTimeText(qint64 msecs);

} // namespace r7730
