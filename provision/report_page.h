#pragma once
// The commissioning report as one HTML page, for a browser, a printer and the PDF renderer alike.
//
// Principles of operation. Everything is in the page: its style inline, no script, no image,
// no link and no font to fetch, so it opens the same on a PC without a network. It is laid out
// for one A4 sheet: the result in a large banner (its word, not only its colour, tells it, so
// a black-and-white print reads the same), the unit and the run, one compact row per setting
// with a mark (✓ equal, ✗ differs, "not verified"), the error, and a footer with the SHA-256 of
// the JSON report. The style keeps to what both browsers and Qt's rich text understand. Every
// text is escaped; control characters show as U+FFFD.
#include <QByteArray>
#include <QString>

#include "provision/attempt.h"
#include "provision/commissioning_report.h"

namespace r7730::provision {

// jsonSha256: the hex SHA-256 of the JSON report's bytes.
QString ReportPage(const TAttempt& attempt, const TReportProgram& program, const QByteArray& jsonSha256);

} // namespace r7730::provision
