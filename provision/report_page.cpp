// The commissioning report's HTML page (see report_page.h).
#include "provision/report_page.h"

#include <QStringList>
#include <cstdlib>

namespace r7730::provision {
namespace {

// Tints with dark text and a dark frame: the banner stays readable printed in black and white.
// Qt's rich text takes a cell's padding as one length in px and a border per side, so the style
// keeps to those forms; browsers read them the same.
constexpr const char* kStyle = R"(
@page { size: A4; margin: 12mm; }
body { font-family: "NanumGothic", "Noto Sans CJK KR", "Malgun Gothic", sans-serif; font-size: 9.5pt; color: #000; margin: 0; }
h1 { font-size: 11pt; font-weight: normal; margin: 0 0 4pt 0; }
table { border-collapse: collapse; }
table.banner td { font-size: 28pt; font-weight: bold; text-align: center; padding: 6px; border: 4px solid #000; }
table.pass td { background-color: #d3f0d9; color: #0b4d1f; border-color: #1a7f37; }
table.fail td { background-color: #fde0de; color: #7a1209; border-color: #b42318; }
table.refused td { background-color: #fff0d1; color: #6b3404; border-color: #b54708; }
table.interrupted td, table.in-progress td { background-color: #e6e8ee; color: #1d2433; border-color: #4a5468; }
table.facts { margin-top: 8px; }
table.facts th { text-align: left; font-weight: normal; color: #444; padding: 1px; padding-right: 8px; }
table.facts td { font-weight: bold; padding: 1px; padding-right: 24px; }
table.error { margin-top: 8px; }
table.error td { border: 2px solid #b42318; padding: 5px; }
table.settings { margin-top: 8px; }
table.settings th { text-align: left; border-width: 0; border-bottom: 2px solid #000; padding: 3px; }
table.settings td { border-width: 0; border-bottom: 1px solid #999; padding: 3px; }
table.settings tr.differs td { background-color: #fde0de; font-weight: bold; }
table.settings td.mark { text-align: center; }
p.footer { font-size: 7.5pt; color: #333; margin-top: 10px; }
)";

// Escaped for HTML text and attribute values; a control character shows as U+FFFD.
QString Escaped(const QString& text)
{
    QString clean = text;
    for (QChar& c : clean)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    return clean.toHtmlEscaped();
}

QString BannerClass(TAttemptResult result)
{
    return ResultText(result).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

// "2025-03-14 09:30:15 UTC+09:00"
QString ShownTime(const QDateTime& time)
{
    if (!time.isValid())
        return QString();
    const int offset = time.offsetFromUtc();
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" UTC%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
}

QString Firmware(const TAttempt& attempt)
{
    if (attempt.firmwareAfter.isEmpty() || attempt.firmwareAfter == attempt.firmwareBefore)
        return attempt.firmwareBefore;
    return attempt.firmwareBefore + QStringLiteral(" → ") + attempt.firmwareAfter;
}

QString Steps(const std::vector<TStepTime>& steps)
{
    QStringList shown;
    for (const TStepTime& step : steps)
        shown << QStringLiteral("%1 %2 s").arg(step.step, QString::number(step.seconds, 'f', 1));
    return shown.join(QStringLiteral(" · "));
}

// Two facts side by side; a second label left empty lets the first value span the row.
QString FactsRow(const QString& label, const QString& value, const QString& label2 = {}, const QString& value2 = {})
{
    if (label2.isEmpty())
        return QStringLiteral("<tr><th>%1</th><td colspan=\"3\">%2</td></tr>\n").arg(label, Escaped(value));
    return QStringLiteral("<tr><th>%1</th><td>%2</td><th>%3</th><td>%4</td></tr>\n")
        .arg(label, Escaped(value), label2, Escaped(value2));
}

QString Facts(const TAttempt& attempt, const TReportProgram& program)
{
    QString ended = ShownTime(attempt.ended);
    if (attempt.started.isValid() && attempt.ended.isValid())
        ended += QStringLiteral(" (%1 s)").arg(QString::number(attempt.started.msecsTo(attempt.ended) / 1000.0, 'f', 1));
    QString html = QStringLiteral("<table class=\"facts\">\n");
    html += FactsRow(QStringLiteral("Label"), attempt.label, QStringLiteral("Model"), attempt.model);
    html += FactsRow(QStringLiteral("MAC"), attempt.mac, QStringLiteral("Firmware"), Firmware(attempt));
    html += FactsRow(QStringLiteral("Operator"), attempt.operatorName, QStringLiteral("Station"), attempt.station);
    html += FactsRow(QStringLiteral("Started"), ShownTime(attempt.started), QStringLiteral("Ended"), ended);
    html += FactsRow(QStringLiteral("Program"), program.name + QLatin1Char(' ') + program.version, QStringLiteral("Plan row"),
                     attempt.planRow > 0 ? QString::number(attempt.planRow) : QStringLiteral("none"));
    html += FactsRow(QStringLiteral("Port"), attempt.port);
    if (const std::optional<TFirmwareRecord>& image = attempt.firmware) {
        html += FactsRow(QStringLiteral("Image"), QStringLiteral("%1 (%2 bytes)").arg(image->file).arg(image->size),
                         QStringLiteral("Served"), QStringLiteral("%1 bytes").arg(image->bytesServed));
        html += FactsRow(QStringLiteral("SHA-256"), QString::fromLatin1(image->sha256));
        html += FactsRow(QStringLiteral("URL"), image->url);
    }
    if (!attempt.steps.empty())
        html += FactsRow(QStringLiteral("Steps"), Steps(attempt.steps));
    return html + QStringLiteral("</table>\n");
}

QString Mark(const TFieldRecord& field)
{
    if (field.unverified)
        return QStringLiteral("<td class=\"mark unverified\">not verified</td>");
    if (field.differs)
        return QStringLiteral("<td class=\"mark differs\">✗</td>");
    return QStringLiteral("<td class=\"mark same\">✓</td>");
}

QString Settings(const std::vector<TFieldRecord>& fields)
{
    QString html = QStringLiteral("<table class=\"settings\" width=\"100%\" cellspacing=\"0\">\n"
                                  "<tr><th>Section</th><th>Key</th><th>Sent</th><th>Read back</th><th></th></tr>\n");
    for (const TFieldRecord& field : fields)
        html += QStringLiteral("<tr%1><td>%2</td><td>%3</td><td>%4</td><td>%5</td>%6</tr>\n")
                    .arg(field.differs && !field.unverified ? QStringLiteral(" class=\"differs\"") : QString(),
                         SectionName(field.section), Escaped(field.key), Escaped(field.sent), Escaped(field.readBack), Mark(field));
    if (fields.empty())
        html += QStringLiteral("<tr><td colspan=\"5\">No setting was sent.</td></tr>\n");
    return html + QStringLiteral("</table>\n");
}

} // namespace

QString ReportPage(const TAttempt& attempt, const TReportProgram& program, const QByteArray& jsonSha256)
{
    const QString result = ResultText(attempt.result);
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n");
    html += QStringLiteral("<title>Commissioning report: %1 %2</title>\n")
                .arg(Escaped(attempt.label.isEmpty() ? attempt.mac : attempt.label), result);
    html += QStringLiteral("<style>%1</style>\n</head>\n<body>\n").arg(QString::fromUtf8(kStyle));
    html += QStringLiteral("<h1>Commissioning report</h1>\n");
    html += QStringLiteral("<table class=\"banner %1\" width=\"100%\"><tr><td>%2</td></tr></table>\n").arg(BannerClass(attempt.result), result);
    html += Facts(attempt, program);
    if (!attempt.error.isEmpty())
        html += QStringLiteral("<table class=\"error\" width=\"100%\"><tr><td>%1</td></tr></table>\n").arg(Escaped(attempt.error));
    html += Settings(attempt.fields);
    html += QStringLiteral("<p class=\"footer\">Attempt %1 · plan SHA-256: %2<br>\nSHA-256 of the JSON report: %3</p>\n")
                .arg(QString::number(attempt.id), Escaped(QString::fromLatin1(attempt.planSha256)), QString::fromLatin1(jsonSha256));
    return html + QStringLiteral("</body>\n</html>\n");
}

} // namespace r7730::provision
