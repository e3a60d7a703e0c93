#pragma once
// One line of a CSV file for a spreadsheet (RFC 4180): cells joined by commas, a cell quoted
// when it holds a comma, a quote or a line break, or begins or ends with a blank (which some
// readers drop), quotes inside doubled; the line ends with CR LF.
#include <QString>
#include <QStringList>

namespace r7730 {

QString CsvLine(const QStringList& cells);

} // namespace r7730
