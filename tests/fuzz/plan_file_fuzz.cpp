// A plan file of any bytes: read, checked and its problems worded, or refused with a reason.
// The CSV under it reads its own writing back: every record written with every cell quoted
// reads as the same cells.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "provision/csv_reader.h"
#include "provision/plan_file.h"

namespace {

using namespace r7730::provision;

QString Quoted(QString text)
{
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

void CsvReadsItsOwnWriting(const QString& text)
{
    std::vector<TCsvRecord> records;
    try {
        records = ReadCsv(text);
    } catch (const ECsvError& error) {
        if (error.Line() < 1)
            std::abort();
        return;
    }
    QStringList lines;
    int line = 0;
    for (const TCsvRecord& record : records) {
        if (record.line <= line || record.cells.empty())
            std::abort();
        line = record.line;
        QStringList cells;
        for (const TCsvCell& cell : record.cells)
            cells << Quoted(cell.text);
        lines << cells.join(QLatin1Char(','));
    }
    const std::vector<TCsvRecord> again = ReadCsv(lines.join(QLatin1String("\r\n")));
    if (again.size() != records.size())
        std::abort();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (again[i].cells.size() != records[i].cells.size())
            std::abort();
        for (std::size_t j = 0; j < records[i].cells.size(); ++j)
            if (again[i].cells[j].text != records[i].cells[j].text || !again[i].cells[j].quoted)
                std::abort();
    }
}

void PlanIsCheckedOrRefused(const QByteArray& bytes)
{
    TPlan plan;
    try {
        plan = PlanOfBytes(QStringLiteral("PLAN.csv"), bytes);
    } catch (const EPlanError& error) {
        if (!error.Text().startsWith(QLatin1String("PLAN.csv ")))
            std::abort();
        return;
    }
    if (plan.sha256.size() != 64 || plan.rows.empty())
        std::abort();
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        if (plan.rows[i].number != static_cast<int>(i + 1) || plan.rows[i].line < 2)
            std::abort();
        (void)RowChangesText(plan.rows[i]);
    }
    // A problem names a row of the plan (0: the plan itself) and a column it has, or the mac
    // column a plan matched by MAC lacks.
    for (bool matchByMac : {false, true}) {
        for (const TPlanProblem& problem : CheckPlan(plan, matchByMac)) {
            const bool knownColumn = plan.columns.contains(problem.column) || problem.column == QLatin1String("mac");
            if (problem.row < 0 || problem.row > static_cast<int>(plan.rows.size()) || problem.line < 1 || !knownColumn)
                std::abort();
            (void)ProblemText(plan.path, problem);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CsvReadsItsOwnWriting(QString::fromUtf8(bytes));
    PlanIsCheckedOrRefused(bytes);
    return 0;
}
