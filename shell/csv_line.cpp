// A CSV line (see csv_line.h).
#include "shell/csv_line.h"

namespace r7730 {
namespace {

QString Cell(const QString& text)
{
    static const QString kSpecial = QStringLiteral(",\"\r\n");
    bool quote = false;
    for (QChar c : text)
        quote = quote || kSpecial.contains(c);
    quote = quote || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString CsvLine(const QStringList& cells)
{
    QStringList quoted;
    for (const QString& cell : cells)
        quoted << Cell(cell);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace r7730
