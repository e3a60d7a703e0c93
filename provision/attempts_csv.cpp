// The record as CSV (see attempts_csv.h).
#include "provision/attempts_csv.h"

#include <QStringList>

#include "shell/csv_line.h"

namespace r7730::provision {
namespace {

constexpr TSection kSections[] = {TSection::Wan, TSection::Tcp, TSection::Serial, TSection::AccessPoint};

const TFieldRecord* FieldOf(const TAttempt& attempt, TSection section, const QString& key)
{
    for (const TFieldRecord& field : attempt.fields)
        if (field.section == section && field.key == key)
            return &field;
    return nullptr;
}

} // namespace

QString AttemptsCsv(const std::vector<TAttempt>& attempts)
{
    QStringList header{"id",    "plan",     "row",           "label",          "result", "started", "ended",
                       "station", "operator", "port",        "model",          "mac",    "firmware before",
                       "firmware after", "differs", "error"};
    for (TSection section : kSections)
        for (const QString& key : SectionKeys(section))
            header << key + QStringLiteral(" sent") << key + QStringLiteral(" read back");
    QString csv = CsvLine(header);
    for (const TAttempt& attempt : attempts) {
        QStringList cells{QString::number(attempt.id),
                          QString::fromLatin1(attempt.planSha256),
                          attempt.planRow > 0 ? QString::number(attempt.planRow) : QString(),
                          attempt.label,
                          ResultText(attempt.result),
                          InstantText(attempt.started),
                          InstantText(attempt.ended),
                          attempt.station,
                          attempt.operatorName,
                          attempt.port,
                          attempt.model,
                          attempt.mac,
                          attempt.firmwareBefore,
                          attempt.firmwareAfter,
                          attempt.differs.join(QLatin1Char(' ')),
                          attempt.error};
        for (TSection section : kSections)
            for (const QString& key : SectionKeys(section)) {
                const TFieldRecord* field = FieldOf(attempt, section, key);
                cells << (field ? field->sent : QString()) << (field ? field->readBack : QString());
            }
        csv += CsvLine(cells);
    }
    return csv;
}

} // namespace r7730::provision
