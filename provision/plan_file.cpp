// A plan file's bytes to rows, and the rows' problems (see plan_file.h).
#include "provision/plan_file.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <map>

#include "device/settings_text_checks.h"
#include "protocol/code_page.h"
#include "provision/csv_reader.h"
#include "shell/text_lines.h"

namespace r7730::provision {
namespace {

constexpr std::array<TSection, 4> kSectionsInColumnOrder = {TSection::Wan, TSection::Tcp, TSection::Serial,
                                                            TSection::AccessPoint};

std::optional<TSection> SectionOfColumn(const QString& column)
{
    for (TSection section : kSectionsInColumnOrder)
        if (SectionKeys(section).contains(column))
            return section;
    return std::nullopt;
}

// Texts that travel byte for byte: a blank in them is part of the network's name or key.
bool KeepsBlanksWhenQuoted(const QString& column)
{
    return column == QLatin1String("ssid") || column == QLatin1String("password");
}

// The 1-based line of the first bytes that are not UTF-8, or 0 when all are. A line break never
// stands inside a UTF-8 character, so the lines decode one by one.
int FirstNonUtf8Line(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        (void)QString(utf8(lines[i]));
        if (utf8.hasError())
            return static_cast<int>(i + 1);
    }
    return 0;
}

struct TDecodedText {
    QString text;
    QString encoding;
};

TDecodedText Decoded(const QString& path, const QByteArray& bytes)
{
    // A byte-order mark of UTF-16, or a NUL beside the first character.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
        (bytes.size() >= 2 && (bytes[0] == '\0') != (bytes[1] == '\0')))
        throw EPlanError(QStringLiteral("%1 is UTF-16 text: save it as CSV in UTF-8 or CP949").arg(path));
    const bool byteOrderMark = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArray body = byteOrderMark ? bytes.mid(3) : bytes;
    if (const int line = FirstLineLongerThan(std::string_view(body.constData(), static_cast<std::size_t>(body.size()))))
        throw EPlanError(QStringLiteral("%1 line %2 is longer than a line of a plan may be (%3 KiB)")
                             .arg(path)
                             .arg(line)
                             .arg(kMaxTextLineBytes / 1024));
    const int nonUtf8 = FirstNonUtf8Line(body);
    if (nonUtf8 == 0)
        return {QString::fromUtf8(body), QStringLiteral("UTF-8")};
    if (byteOrderMark)
        throw EPlanError(QStringLiteral("%1 begins with the UTF-8 byte-order mark, but line %2 is not UTF-8 text")
                             .arg(path)
                             .arg(nonUtf8));
    const QString text = QString::fromStdU16String(AnsiToWide(std::string_view(body.constData(), body.size())));
    const qsizetype undefined = text.indexOf(QChar(QChar::ReplacementCharacter));
    if (undefined >= 0)
        throw EPlanError(QStringLiteral("%1 line %2 is neither UTF-8 nor CP949 text")
                             .arg(path)
                             .arg(text.left(undefined).count(QLatin1Char('\n')) + 1));
    return {text, QStringLiteral("CP949")};
}

QStringList ColumnNames(const QString& path, const TCsvRecord& header)
{
    const QStringList known = PlanColumns();
    QStringList columns;
    for (std::size_t i = 0; i < header.cells.size(); ++i) {
        const QString name = header.cells[i].text.trimmed();
        const QString where = QStringLiteral("%1 line %2: ").arg(path).arg(header.line);
        if (name.isEmpty())
            throw EPlanError(where + QStringLiteral("column %1 has no name").arg(i + 1));
        if (!known.contains(name))
            throw EPlanError(where + QStringLiteral("unknown column \"%1\"; the columns are %2").arg(name, known.join(", ")));
        if (columns.contains(name))
            throw EPlanError(where + QStringLiteral("column %1 appears twice").arg(name));
        columns << name;
    }
    return columns;
}

// A blank line, or a spreadsheet's empty row (",,,"): no row, and no unit's turn.
bool IsEmptyLine(const TCsvRecord& record)
{
    return std::all_of(record.cells.begin(), record.cells.end(),
                       [](const TCsvCell& cell) { return cell.text.trimmed().isEmpty(); });
}

TPlanRow RowOf(const QString& path, const QStringList& columns, const TCsvRecord& record, int number)
{
    const auto cells = static_cast<qsizetype>(record.cells.size());
    if (cells != columns.size())
        throw EPlanError(QStringLiteral("%1 line %2 (row %3): %4 %5 where the column names give %6")
                             .arg(path)
                             .arg(record.line)
                             .arg(number)
                             .arg(cells)
                             .arg(cells == 1 ? QStringLiteral("cell") : QStringLiteral("cells"))
                             .arg(columns.size()));
    TPlanRow row;
    row.number = number;
    row.line = record.line;
    for (qsizetype i = 0; i < cells; ++i) {
        const QString& column = columns[i];
        const TCsvCell& cell = record.cells[static_cast<std::size_t>(i)];
        const QString text = cell.quoted && KeepsBlanksWhenQuoted(column) ? cell.text : cell.text.trimmed();
        if (text.isEmpty())
            continue;
        if (column == QLatin1String("label"))
            row.label = text;
        else if (column == QLatin1String("mac"))
            row.mac = NormalMac(text).value_or(text);
        else
            row.given[*SectionOfColumn(column)][column] = text;
    }
    return row;
}

} // namespace

QStringList PlanColumns()
{
    QStringList columns = {QStringLiteral("label"), QStringLiteral("mac")};
    for (TSection section : kSectionsInColumnOrder)
        columns << SectionKeys(section);
    return columns;
}

TPlan ReadPlanFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EPlanError(QStringLiteral("cannot read the plan %1: no such file").arg(path));
    // A folder or a device would open and read as nothing, or never end.
    if (!info.isFile())
        throw EPlanError(QStringLiteral("cannot read the plan %1: not a file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EPlanError(QStringLiteral("cannot read the plan %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(kMaxPlanBytes + 1);
    if (bytes.size() > kMaxPlanBytes)
        throw EPlanError(QStringLiteral("%1 is larger than a plan may be (%2 MiB)").arg(path).arg(kMaxPlanBytes / (1024 * 1024)));
    return PlanOfBytes(path, bytes);
}

TPlan PlanOfBytes(const QString& path, const QByteArray& bytes)
{
    TPlan plan;
    plan.path = path;
    plan.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    const TDecodedText decoded = Decoded(path, bytes);
    plan.encoding = decoded.encoding;
    std::vector<TCsvRecord> records;
    try {
        records = ReadCsv(decoded.text);
    } catch (const ECsvError& error) {
        throw EPlanError(QStringLiteral("%1 line %2: %3").arg(path).arg(error.Line()).arg(error.Text()));
    }
    if (records.empty())
        throw EPlanError(QStringLiteral("%1 is empty: its first line names the columns, each line under it is a unit's row")
                             .arg(path));
    plan.columns = ColumnNames(path, records.front());
    for (std::size_t i = 1; i < records.size(); ++i)
        if (!IsEmptyLine(records[i]))
            plan.rows.push_back(RowOf(path, plan.columns, records[i], static_cast<int>(plan.rows.size()) + 1));
    if (plan.rows.empty())
        throw EPlanError(QStringLiteral("%1 has no rows under its column names").arg(path));
    return plan;
}

std::optional<QString> NormalMac(const QString& text)
{
    // Six hexadecimal pairs, all apart by ':' or all by '-', or all together.
    static const QRegularExpression mac(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9A-Fa-f]{2}([:-]?)[0-9A-Fa-f]{2}(?:\\1[0-9A-Fa-f]{2}){4}")));
    if (!mac.match(text).hasMatch())
        return std::nullopt;
    QString digits = text.toUpper();
    digits.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    QStringList pairs;
    for (int i = 0; i < 12; i += 2)
        pairs << digits.mid(i, 2);
    return pairs.join(QLatin1Char(':'));
}

std::vector<TPlanProblem> CheckPlan(const TPlan& plan, bool matchByMac, bool forceMasks)
{
    std::vector<TPlanProblem> problems;
    if (matchByMac && !plan.columns.contains(QLatin1String("mac")))
        problems.push_back({0, 1, QStringLiteral("mac"), QStringLiteral("no mac column: a plan matched by MAC needs a MAC in every row")});
    // The first row of each label, address and MAC, to name it when another row repeats one.
    std::map<QString, const TPlanRow*> labels;
    std::map<QString, const TPlanRow*> addresses;
    std::map<QString, const TPlanRow*> macs;
    for (const TPlanRow& row : plan.rows) {
        const auto add = [&](const QString& column, const QString& message) {
            problems.push_back({row.number, row.line, column, message});
        };
        const auto once = [&](std::map<QString, const TPlanRow*>& seen, const QString& column, const QString& value,
                              const QString& what) {
            const auto [first, isFirst] = seen.emplace(value, &row);
            if (!isFirst)
                add(column, QStringLiteral("%1 is also that of row %2 (line %3)")
                                .arg(what)
                                .arg(first->second->number)
                                .arg(first->second->line));
        };
        for (const QString& column : plan.columns) {
            if (column == QLatin1String("label")) {
                if (!row.label.isEmpty())
                    once(labels, column, row.label, QStringLiteral("the label \"%1\"").arg(row.label));
                continue;
            }
            if (column == QLatin1String("mac")) {
                if (row.mac.isEmpty()) {
                    if (matchByMac)
                        add(column, QStringLiteral("no MAC: a plan matched by MAC needs a MAC in every row"));
                } else if (!NormalMac(row.mac)) {
                    add(column, QStringLiteral("expects a MAC address like 00:1A:2B:3C:4D:5E"));
                } else {
                    once(macs, column, row.mac, QStringLiteral("the MAC %1").arg(row.mac));
                }
                continue;
            }
            const TSection section = *SectionOfColumn(column);
            const auto texts = row.given.find(section);
            if (texts == row.given.end() || !texts->second.count(column))
                continue;
            TSettingsValue value;
            const QString& text = texts->second.at(column);
            const QString refusal = RefusalOfGiven(section, column, text, forceMasks, &value);
            if (!refusal.isEmpty()) {
                add(column, refusal);
                continue;
            }
            if (UnreadableKeys(value).contains(column))
                add(column, QStringLiteral("%1 can be stored but never read back (a reply ends at its first 0xFE); a "
                                           "plan cannot store unverified values")
                                .arg(UnreadableValueWording(column, text)));
            // Addresses compare in their canonical form: 10.0.0.05 is 10.0.0.5.
            if (column == QLatin1String("ip"))
                once(addresses, column, TextsOfValue(value).at(column),
                     QStringLiteral("the address %1").arg(TextsOfValue(value).at(column)));
        }
    }
    return problems;
}

QString ProblemText(const QString& path, const TPlanProblem& problem)
{
    const QString where = problem.row > 0 ? QStringLiteral("%1 line %2 (row %3)").arg(path).arg(problem.line).arg(problem.row)
                                          : QStringLiteral("%1 line %2").arg(path).arg(problem.line);
    return QStringLiteral("%1, column %2: %3").arg(where, problem.column, problem.message);
}

std::vector<TRowChange> RowChanges(const TPlanRow& row)
{
    std::vector<TRowChange> changes;
    for (TSection section : kApplyOrder) {
        const auto texts = row.given.find(section);
        if (texts == row.given.end())
            continue;
        TRowChange change{section, {}};
        for (const QString& key : SectionKeys(section))
            if (texts->second.count(key))
                change.keys << key;
        changes.push_back(change);
    }
    return changes;
}

QString RowChangesText(const TPlanRow& row)
{
    QStringList sections;
    for (const TRowChange& change : RowChanges(row))
        sections << QStringLiteral("%1: %2").arg(SectionName(change.section), change.keys.join(", "));
    return sections.isEmpty() ? QStringLiteral("nothing") : sections.join("; ");
}

} // namespace r7730::provision
