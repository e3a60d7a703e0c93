#pragma once
// The access point's password in the device link's log lines, and those lines as a trace for a
// person shows them (r7730ctl -v, the batch's trace). The link logs the password when it sets an
// access point, in the line it writes before the frame, "tmpSSIDPW   : [16][<password>]", and in
// the frame's hex; and when the current access point is read, in the reply's hex and in the text
// line that follows it, "res[48] = [<SSID><password>]". A trace masks all four; the window's log
// keeps every line as it is.
#include <QString>

namespace r7730 {

// The label of the line that shows the password the set command carries.
inline constexpr char kPasswordLineLabel[] = "tmpSSIDPW  ";

// Masks one link's log lines, taken in their order (a reply's text line is known by the frame
// line before it): the password line's field as one "*" per byte of its fixed width, a frame
// line's secret bytes as "**" each (protocol/frame_log_line.h), a reply's text from where its
// secret field begins as "*"; any other line as it is.
class TLogLineMask {
public:
    QString Masked(const QString& line);

private:
    // Where the secret begins in the text line that comes next; -1: it carries none.
    qsizetype secretInNextText_ = -1;
};

} // namespace r7730
