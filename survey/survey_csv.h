#pragma once
// The whole session as a CSV table for a spreadsheet (RFC 4180 quoting, CRLF line ends, UTF-8):
// one line per signal reading and one per access point of each scan, in time order, under the
// header
//   time,kind,ssid,channel,rssi,quality,marker,asked_by,auth
// time: local time in ISO 8601 with milliseconds and the UTC offset; kind: poll (a signal
// reading) or scan; rssi and quality: numbers, empty when the reply had none; marker: the label
// of the marker whose segment the line falls in (empty before the first); asked_by: survey, or
// other (the main window's polling and buttons); auth: a scanned access point's authentication.
#include <QString>

#include "survey/survey_session.h"

namespace r7730 {

QString SurveyCsv(const TSurveySession& session);

// A time as the CSV writes it: "2024-05-01T10:00:00.123+09:00".
QString SurveyTimeText(qint64 msecs);

} // namespace r7730
