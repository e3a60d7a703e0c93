#pragma once
// The access point's password in the device link's log lines, and those lines as a trace for a
// person shows them (r7730ctl -v, the batch's trace). The link logs the password twice when it
// sets an access point: in the line it writes before the frame, "tmpSSIDPW   : [16][<password>]",
// and in the frame's hex; the current-AP reply's hex carries it too. A trace masks all three;
// the window's log keeps every line as it is.
#include <QString>

namespace r7730 {

// The label of the line that shows the password the set command carries.
inline constexpr char kPasswordLineLabel[] = "tmpSSIDPW  ";

// The line with the password masked: the password line's field as one "*" per byte of its fixed
// width, a frame line's secret bytes as "**" each (protocol/frame_log_line.h); any other line as
// it is.
QString MaskedLogLine(const QString& line);

} // namespace r7730
