// The commissioning report's JSON, its file names and its writing (see commissioning_report.h).
#include "provision/commissioning_report.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "provision/report_page.h"
#include "shell/whole_file.h"

namespace r7730::provision {
namespace {

constexpr int kSchemaVersion = 1;
constexpr qsizetype kLabelInFileName = 64;

bool IsPasswordRecord(const QString& text)
{
    static const QRegularExpression record(QStringLiteral("^(none|set, \\d+ characters)$"));
    return text.isEmpty() || record.match(text).hasMatch();
}

// The attempt as a report shows it: a password field holds its record only, and a password text
// found there is blanked from the error too.
TAttempt Reported(TAttempt attempt)
{
    QStringList secrets;
    for (TFieldRecord& field : attempt.fields) {
        if (field.key != QLatin1String("password"))
            continue;
        for (QString* text : {&field.sent, &field.readBack})
            if (!IsPasswordRecord(*text)) {
                secrets << *text;
                *text = PasswordRecord(*text);
            }
    }
    for (const QString& secret : secrets)
        attempt.error.replace(secret, QStringLiteral("(password)"));
    return attempt;
}

// ISO 8601 with milliseconds and the zone's offset ("2025-03-14T09:30:15.123+09:00"), or null.
QJsonValue Instant(const QDateTime& time)
{
    if (!time.isValid())
        return QJsonValue::Null;
    return InstantText(time);
}

QJsonArray Fields(const std::vector<TFieldRecord>& fields)
{
    QJsonArray array;
    for (const TFieldRecord& field : fields)
        array.append(QJsonObject{
            {QStringLiteral("section"), SectionName(field.section)},
            {QStringLiteral("key"), field.key},
            {QStringLiteral("sent"), field.sent},
            {QStringLiteral("read_back"), field.readBack},
            {QStringLiteral("differs"), field.differs},
            {QStringLiteral("unverified"), field.unverified},
        });
    return array;
}

QJsonArray Steps(const std::vector<TStepTime>& steps)
{
    QJsonArray array;
    for (const TStepTime& step : steps)
        array.append(QJsonObject{{QStringLiteral("step"), step.step}, {QStringLiteral("seconds"), step.seconds}});
    return array;
}

// QJsonObject keeps its keys sorted, so the bytes depend on the values alone.
QByteArray Json(const TAttempt& attempt, const TReportProgram& program)
{
    QJsonObject report = AttemptJson(attempt);
    report.insert(QStringLiteral("schema"), QStringLiteral("r7730-commissioning-report"));
    report.insert(QStringLiteral("schema_version"), kSchemaVersion);
    report.insert(QStringLiteral("program"), program.name);
    report.insert(QStringLiteral("program_version"), program.version);
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

bool UnfitForFileName(QChar c)
{
    static const QString kReserved = QStringLiteral("/\\:*?\"<>|");
    return c.isSpace() || kReserved.contains(c) || c.category() == QChar::Other_Control ||
           c.category() == QChar::Other_Format || c.category() == QChar::Other_NotAssigned;
}

QString PlainMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QJsonObject AttemptJson(const TAttempt& recorded)
{
    const TAttempt attempt = Reported(recorded);
    QJsonObject json{
        {QStringLiteral("attempt_id"), attempt.id},
        {QStringLiteral("result"), ResultText(attempt.result)},
        {QStringLiteral("model"), attempt.model},
        {QStringLiteral("label"), attempt.label},
        {QStringLiteral("mac"), attempt.mac},
        {QStringLiteral("firmware_before"), attempt.firmwareBefore},
        {QStringLiteral("firmware_after"), attempt.firmwareAfter},
        {QStringLiteral("operator"), attempt.operatorName},
        {QStringLiteral("station"), attempt.station},
        {QStringLiteral("port"), attempt.port},
        {QStringLiteral("plan_sha256"), QString::fromLatin1(attempt.planSha256)},
        {QStringLiteral("plan_row"), attempt.planRow > 0 ? QJsonValue(attempt.planRow) : QJsonValue::Null},
        {QStringLiteral("started"), Instant(attempt.started)},
        {QStringLiteral("ended"), Instant(attempt.ended)},
        {QStringLiteral("steps"), Steps(attempt.steps)},
        {QStringLiteral("error"), attempt.error},
        {QStringLiteral("differs"), QJsonArray::fromStringList(attempt.differs)},
        {QStringLiteral("fields"), Fields(attempt.fields)},
    };
    if (attempt.firmware)
        json.insert(QStringLiteral("firmware"), QJsonObject{
                                                    {QStringLiteral("file"), attempt.firmware->file},
                                                    {QStringLiteral("size"), attempt.firmware->size},
                                                    {QStringLiteral("sha256"), QString::fromLatin1(attempt.firmware->sha256)},
                                                    {QStringLiteral("url"), attempt.firmware->url},
                                                    {QStringLiteral("bytes_served"), attempt.firmware->bytesServed},
                                                });
    return json;
}

QString ReportFileStem(const TAttempt& attempt)
{
    const QString when = attempt.started.isValid() ? attempt.started.toString(QStringLiteral("yyyyMMdd-HHmmss"))
                                                   : QStringLiteral("undated");
    QString unit = !attempt.label.trimmed().isEmpty() ? attempt.label.trimmed()
                   : !attempt.mac.isEmpty()           ? attempt.mac
                                                      : QStringLiteral("unit");
    // Cut by code points, so a character outside the basic plane is never split in two.
    const QList<uint> codePoints = unit.toUcs4();
    if (codePoints.size() > kLabelInFileName)
        unit = QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData()), kLabelInFileName);
    for (QChar& c : unit)
        if (UnfitForFileName(c))
            c = QLatin1Char('-');
    return QStringLiteral("%1_%2_%3").arg(when, unit).arg(attempt.id);
}

TCommissioningReport MakeCommissioningReport(const TAttempt& attempt, const TReportProgram& program)
{
    const TAttempt shown = Reported(attempt);
    TCommissioningReport report;
    report.stem = ReportFileStem(shown);
    report.json = Json(shown, program);
    report.html = ReportPage(shown, program, QCryptographicHash::hash(report.json, QCryptographicHash::Sha256).toHex());
    return report;
}

std::vector<TReportFile> ReportFiles(const TCommissioningReport& report)
{
    return {{report.stem + QStringLiteral(".json"), report.json}, {report.stem + QStringLiteral(".html"), report.html.toUtf8()}};
}

void MakeReportFolder(const QString& folder)
{
    const QFileInfo folderInfo(folder);
    if (folderInfo.exists() && !folderInfo.isDir())
        throw EReportError(QStringLiteral("cannot write the report into %1: it is a file, not a folder").arg(folder));
    // Stations of other processes may make the same folder at the same moment: a folder that is
    // there once the call returns is what was asked for, whoever made it.
    std::error_code made;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), made);
    if (made)
        throw EReportError(QStringLiteral("cannot make the report folder %1: %2")
                               .arg(folder, QString::fromLocal8Bit(made.message())));
    if (!QFileInfo(folder).isDir())
        throw EReportError(QStringLiteral("cannot write the report into %1: it is a file, not a folder").arg(folder));
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        throw EReportError(QStringLiteral("cannot write the report into %1: %2").arg(folder, PlainMessage(errno)));
}

QStringList WriteReportFiles(const QString& folder, const std::vector<TReportFile>& files)
{
    MakeReportFolder(folder);

    QStringList paths;
    for (const TReportFile& file : files) {
        const QString path = QDir(folder).filePath(file.name);
        const TWholeFileTarget target = WholeFileTarget(QFile::encodeName(path).toStdString());
        if (!target.refusal.empty())
            throw EReportError(QStringLiteral("cannot write the report %1: it is %2, not a regular file")
                                   .arg(path, QString::fromStdString(target.refusal)));
        paths << path;
    }
    for (std::size_t i = 0; i < files.size(); ++i)
        if (!WriteWholeFile(QFile::encodeName(paths[i]).toStdString(), files[i].bytes.toStdString(), std::nullopt))
            throw EReportError(QStringLiteral("cannot write the report %1: %2").arg(paths[i], PlainMessage(errno)));
    return paths;
}

} // namespace r7730::provision
