// The record store on Qt SQL (see record_store_sql.h).
#include "provision/record_store_sql.h"

#include "provision/record_store_json.h"
#include "provision/record_store_schema.h"

namespace r7730::provision {
namespace {

const QString kAttemptColumns = QStringLiteral(
    "id, plan, plan_row, label, started, ended, station, process_id, operator, port, model, mac, "
    "firmware_before, firmware_after, result, differs, error, fields, steps");

// "2024-05-02T14:03:07.250+09:00": the instant and the offset of the zone it was taken in.
QVariant TimeValue(const QDateTime& time)
{
    if (!time.isValid())
        return QVariant(QMetaType::fromType<QString>());
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QDateTime TimeOf(const QVariant& value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QDateTime StartOf(const TAttempt& attempt)
{
    return attempt.started.isValid() ? attempt.started : QDateTime::currentDateTime();
}

TAttempt AttemptOf(const QSqlRecord& row)
{
    TAttempt attempt;
    attempt.id = row.value("id").toLongLong();
    attempt.planSha256 = row.value("plan").toString().toLatin1();
    attempt.planRow = row.value("plan_row").toInt();
    attempt.label = row.value("label").toString();
    attempt.started = TimeOf(row.value("started"));
    attempt.ended = TimeOf(row.value("ended"));
    attempt.station = row.value("station").toString();
    attempt.processId = row.value("process_id").toLongLong();
    attempt.operatorName = row.value("operator").toString();
    attempt.port = row.value("port").toString();
    attempt.model = row.value("model").toString();
    attempt.mac = row.value("mac").toString();
    attempt.firmwareBefore = row.value("firmware_before").toString();
    attempt.firmwareAfter = row.value("firmware_after").toString();
    const std::optional<TAttemptResult> result = ResultNamed(row.value("result").toString());
    if (!result)
        throw EStoreError(QStringLiteral("The record store holds attempt %1 with a result this program does not know: %2")
                              .arg(attempt.id)
                              .arg(row.value("result").toString()));
    attempt.result = *result;
    attempt.differs = TextsOfJson(row.value("differs").toString());
    attempt.error = row.value("error").toString();
    attempt.fields = FieldsOfJson(row.value("fields").toString());
    attempt.steps = StepsOfJson(row.value("steps").toString());
    return attempt;
}

QString PlanText(const QByteArray& sha256)
{
    return QString::fromLatin1(sha256);
}

} // namespace

TSqlRecordStore::TSqlRecordStore(const TStoreLocation& location) : connection_(location)
{
    PrepareSchema(connection_);
}

QString TSqlRecordStore::Description() const
{
    return connection_.Location().shown
         + (connection_.Kind() == TStoreKind::Sqlite ? QStringLiteral(" (SQLite)") : QStringLiteral(" (PostgreSQL)"));
}

QString TSqlRecordStore::DefaultReportFolder() const
{
    return connection_.Location().reportFolder;
}

void TSqlRecordStore::RegisterPlan(const TPlan& plan)
{
    if (plan.sha256.isEmpty())
        throw EStoreError(QStringLiteral("A plan without its SHA-256 cannot be registered (%1).").arg(plan.path));
    TStoreConnection::TWriteTransaction transaction(connection_);
    const int added = connection_.Execute(
        QStringLiteral("INSERT INTO plans (sha256, path, encoding, columns, registered_at) VALUES (?, ?, ?, ?, ?) "
                       "ON CONFLICT (sha256) DO NOTHING"),
        {PlanText(plan.sha256), TextValue(plan.path), TextValue(plan.encoding), TextsJson(plan.columns),
         TimeValue(QDateTime::currentDateTime())});
    if (added == 0)
        return; // registered before: its rows and their claims stay as they are
    for (const TPlanRow& row : plan.rows)
        connection_.Execute(
            QStringLiteral("INSERT INTO plan_rows (plan, number, label, mac, state) VALUES (?, ?, ?, ?, 'free')"),
            {PlanText(plan.sha256), row.number, TextValue(row.label), TextValue(row.mac.toUpper())});
    transaction.Commit();
}

TPlanProgress TSqlRecordStore::Progress(const QByteArray& planSha256)
{
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN state = 'passed' THEN 1 ELSE 0 END), "
                       "SUM(CASE WHEN state = 'claimed' THEN 1 ELSE 0 END) FROM plan_rows WHERE plan = ?"),
        {PlanText(planSha256)});
    TPlanProgress progress;
    progress.rows = row->value(0).toInt();
    progress.passed = row->value(1).toInt();
    progress.claimed = row->value(2).toInt();
    return progress;
}

std::optional<TClaim> TSqlRecordStore::ClaimNext(const TAttempt& attempt)
{
    return Claim(attempt, QString(), {});
}

std::optional<TClaim> TSqlRecordStore::ClaimMac(const TAttempt& attempt)
{
    if (attempt.mac.isEmpty())
        return std::nullopt; // a row without a MAC is no match for a unit whose MAC is unknown
    return Claim(attempt, QStringLiteral(" AND mac = ?"), {attempt.mac.toUpper()});
}

std::optional<TClaim> TSqlRecordStore::Claim(const TAttempt& attempt, const QString& condition, const QVariantList& values)
{
    TStoreConnection::TWriteTransaction transaction(connection_);
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("SELECT number, label, mac FROM plan_rows WHERE plan = ? AND state = 'free'%1 "
                       "ORDER BY number LIMIT 1%2")
            .arg(condition, connection_.Kind() == TStoreKind::Postgres ? QStringLiteral(" FOR UPDATE SKIP LOCKED")
                                                                      : QString()),
        QVariantList{PlanText(attempt.planSha256)} + values);
    if (!row)
        return std::nullopt;

    TAttempt opened = attempt;
    opened.planRow = row->value("number").toInt();
    opened.label = row->value("label").toString();
    if (opened.mac.isEmpty())
        opened.mac = row->value("mac").toString();
    opened.result = TAttemptResult::InProgress;
    opened.ended = QDateTime();
    const TClaim claim{opened.planRow, InsertAttempt(opened)};
    connection_.Execute(
        QStringLiteral("UPDATE plan_rows SET state = 'claimed', attempt = ? WHERE plan = ? AND number = ?"),
        {claim.attemptId, PlanText(attempt.planSha256), claim.planRow});
    transaction.Commit();
    return claim;
}

qint64 TSqlRecordStore::InsertAttempt(const TAttempt& attempt)
{
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("INSERT INTO attempts (plan, plan_row, label, started, ended, station, process_id, operator, "
                       "port, model, mac, firmware_before, firmware_after, result, differs, error, fields, steps) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"),
        {PlanText(attempt.planSha256),
         attempt.planRow > 0 ? QVariant(attempt.planRow) : QVariant(QMetaType::fromType<int>()),
         TextValue(attempt.label), TimeValue(StartOf(attempt)), TimeValue(attempt.ended), TextValue(attempt.station),
         attempt.processId, TextValue(attempt.operatorName), TextValue(attempt.port), TextValue(attempt.model),
         TextValue(attempt.mac), TextValue(attempt.firmwareBefore), TextValue(attempt.firmwareAfter),
         ResultText(attempt.result), TextsJson(attempt.differs), TextValue(attempt.error), FieldsJson(attempt.fields),
         StepsJson(attempt.steps)});
    return row->value(0).toLongLong();
}

bool TSqlRecordStore::Passed(const QByteArray& planSha256, const QString& mac)
{
    if (mac.isEmpty())
        return false;
    return connection_
        .Row(QStringLiteral("SELECT id FROM attempts WHERE plan = ? AND UPPER(mac) = ? AND result = 'PASS' LIMIT 1"),
             {PlanText(planSha256), mac.toUpper()})
        .has_value();
}

qint64 TSqlRecordStore::RecordUnclaimed(const TAttempt& attempt)
{
    if (attempt.result == TAttemptResult::InProgress)
        throw EStoreError(QStringLiteral("An attempt without a row is recorded once it has ended, not IN PROGRESS."));
    TAttempt recorded = attempt;
    recorded.planRow = 0;
    if (!recorded.ended.isValid())
        recorded.ended = QDateTime::currentDateTime();
    return InsertAttempt(recorded);
}

void TSqlRecordStore::Finish(const TAttempt& attempt)
{
    if (attempt.result == TAttemptResult::InProgress)
        throw EStoreError(QStringLiteral("Attempt %1 cannot finish IN PROGRESS.").arg(attempt.id));
    const bool pass = attempt.result == TAttemptResult::Pass;
    TStoreConnection::TWriteTransaction transaction(connection_);
    const std::optional<QSqlRecord> closed = connection_.Row(
        QStringLiteral("UPDATE attempts SET ended = ?, model = ?, firmware_before = ?, firmware_after = ?, result = ?, "
                       "differs = ?, error = ?, fields = ?, steps = ? WHERE id = ? AND result = 'IN PROGRESS' "
                       "RETURNING plan, plan_row"),
        {TimeValue(attempt.ended.isValid() ? attempt.ended : QDateTime::currentDateTime()), TextValue(attempt.model),
         TextValue(attempt.firmwareBefore), TextValue(attempt.firmwareAfter), ResultText(attempt.result),
         TextsJson(attempt.differs), TextValue(attempt.error), FieldsJson(attempt.fields), StepsJson(attempt.steps),
         attempt.id});
    if (!closed)
        RefuseFinish(attempt.id);
    connection_.Execute(
        QStringLiteral("UPDATE plan_rows SET state = ?, attempt = ? WHERE plan = ? AND number = ? AND attempt = ?"),
        {pass ? QStringLiteral("passed") : QStringLiteral("free"),
         pass ? QVariant(attempt.id) : QVariant(QMetaType::fromType<qlonglong>()), closed->value("plan"),
         closed->value("plan_row"), attempt.id});
    transaction.Commit();
}

void TSqlRecordStore::RefuseFinish(qint64 attemptId)
{
    const std::optional<QSqlRecord> row =
        connection_.Row(QStringLiteral("SELECT result, error FROM attempts WHERE id = ?"), {attemptId});
    if (!row)
        throw EStoreError(QStringLiteral("The record store %1 has no attempt %2 to finish.")
                              .arg(connection_.Location().shown)
                              .arg(attemptId));
    const QString error = row->value("error").toString();
    throw EStoreError(QStringLiteral("Attempt %1 has ended already (%2%3); it is not recorded again.")
                          .arg(attemptId)
                          .arg(row->value("result").toString(), error.isEmpty() ? QString() : QStringLiteral(": ") + error));
}

int TSqlRecordStore::ReclaimAbandoned(const QByteArray& planSha256, const QString& station,
                                      const std::function<bool(qint64 processId)>& alive, int timeoutSeconds)
{
    const QDateTime now = QDateTime::currentDateTime();
    TStoreConnection::TWriteTransaction transaction(connection_);
    int takenBack = 0;
    for (const QSqlRecord& claim : connection_.Rows(
             QStringLiteral("SELECT a.id, a.plan_row, a.station, a.process_id, a.started FROM plan_rows r "
                            "JOIN attempts a ON a.id = r.attempt "
                            "WHERE r.plan = ? AND r.state = 'claimed' AND a.result = 'IN PROGRESS' ORDER BY a.id"),
             {PlanText(planSha256)})) {
        const qint64 processId = claim.value("process_id").toLongLong();
        const QDateTime started = TimeOf(claim.value("started"));
        QString why;
        if (claim.value("station").toString() == station && !alive(processId))
            why = QStringLiteral("Taken back: process %1 on %2 is no longer running.").arg(processId).arg(station);
        else if (timeoutSeconds > 0 && started.isValid() && started.secsTo(now) > timeoutSeconds)
            why = QStringLiteral("Taken back: claimed at %1 and still open after more than %2 s.")
                      .arg(claim.value("started").toString())
                      .arg(timeoutSeconds);
        if (why.isEmpty())
            continue;
        const qint64 attemptId = claim.value("id").toLongLong();
        if (connection_.Execute(QStringLiteral("UPDATE attempts SET ended = ?, result = 'INTERRUPTED', error = ? "
                                               "WHERE id = ? AND result = 'IN PROGRESS'"),
                                {TimeValue(now), why, attemptId})
            != 1)
            continue; // its holder finished it meanwhile
        connection_.Execute(QStringLiteral("UPDATE plan_rows SET state = 'free', attempt = NULL "
                                           "WHERE plan = ? AND number = ? AND attempt = ?"),
                            {PlanText(planSha256), claim.value("plan_row"), attemptId});
        ++takenBack;
    }
    transaction.Commit();
    return takenBack;
}

std::vector<TAttempt> TSqlRecordStore::Attempts(const QByteArray& planSha256)
{
    std::vector<TAttempt> attempts;
    const std::vector<QSqlRecord> rows =
        planSha256.isEmpty()
            ? connection_.Rows(QStringLiteral("SELECT %1 FROM attempts ORDER BY id").arg(kAttemptColumns))
            : connection_.Rows(QStringLiteral("SELECT %1 FROM attempts WHERE plan = ? ORDER BY id").arg(kAttemptColumns),
                               {PlanText(planSha256)});
    for (const QSqlRecord& row : rows)
        attempts.push_back(AttemptOf(row));
    return attempts;
}

} // namespace r7730::provision
