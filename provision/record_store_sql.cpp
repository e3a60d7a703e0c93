// The record store on Qt SQL (see record_store_sql.h).
#include "provision/record_store_sql.h"

#include <QFile>
#include <QUuid>
#include <unistd.h>

#include "provision/record_store_json.h"
#include "provision/record_store_schema.h"

namespace r7730::provision {
namespace {

// The advisory lock spaces of this program on a shared PostgreSQL database: one key per claim
// (the attempt's id), one per plan file (a hash of its path).
constexpr int kClaimLocks = 0x52373731;
constexpr int kPlanFileLocks = 0x52373732;

// This boot of the PC: a process recorded under another boot has ended, whatever runs under
// its number now.
QString BootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).trimmed();
}

QString HolderText(const TStationIdentity& identity)
{
    return identity.instance + u' ' + identity.bootId;
}

QString BootOfHolder(const QString& holder)
{
    return holder.section(u' ', 1);
}

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

QString RowIp(const TPlanRow& row)
{
    const auto wan = row.given.find(TSection::Wan);
    if (wan == row.given.end())
        return {};
    const auto ip = wan->second.find(QStringLiteral("ip"));
    return ip == wan->second.end() ? QString() : ip->second;
}

TRowHold HoldOf(const QSqlRecord& row)
{
    TRowHold hold;
    hold.kind = row.value("state").toString() == QLatin1String("held") ? TRowHold::TKind::Held : TRowHold::TKind::Reserved;
    hold.planSha256 = row.value("plan").toString().toLatin1();
    hold.planRow = row.value("number").toInt();
    hold.label = row.value("label").toString();
    hold.mac = row.value("reserved_mac").toString();
    return hold;
}

} // namespace

TSqlRecordStore::TSqlRecordStore(const TStoreLocation& location) : connection_(location)
{
    PrepareSchema(connection_);
    identity_.instance = QUuid::createUuid().toString(QUuid::WithoutBraces);
    identity_.processId = ::getpid();
    identity_.bootId = BootId();
}

QDateTime TSqlRecordStore::Now()
{
    if (!Postgres())
        return QDateTime::currentDateTime();
    // The server's clock, so the stations of several PCs write one time line.
    const std::optional<QSqlRecord> row =
        connection_.Row(QStringLiteral("SELECT CAST(EXTRACT(EPOCH FROM clock_timestamp()) * 1000 AS BIGINT)"));
    return QDateTime::fromMSecsSinceEpoch(row->value(0).toLongLong());
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
         TimeValue(Now())});
    if (added == 0)
        return; // registered before: its rows and their claims stay as they are
    for (const TPlanRow& row : plan.rows)
        connection_.Execute(
            QStringLiteral("INSERT INTO plan_rows (plan, number, label, mac, ip, state) VALUES (?, ?, ?, ?, ?, 'free')"),
            {PlanText(plan.sha256), row.number, TextValue(row.label), TextValue(row.mac.toUpper()), TextValue(RowIp(row))});
    transaction.Commit();
}

TPlanProgress TSqlRecordStore::Progress(const QByteArray& planSha256)
{
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN state = 'passed' THEN 1 ELSE 0 END), "
                       "SUM(CASE WHEN state = 'claimed' THEN 1 ELSE 0 END), "
                       "SUM(CASE WHEN state = 'reserved' THEN 1 ELSE 0 END), "
                       "SUM(CASE WHEN state = 'held' THEN 1 ELSE 0 END) FROM plan_rows WHERE plan = ?"),
        {PlanText(planSha256)});
    TPlanProgress progress;
    progress.rows = row->value(0).toInt();
    progress.passed = row->value(1).toInt();
    progress.claimed = row->value(2).toInt();
    progress.reserved = row->value(3).toInt();
    progress.held = row->value(4).toInt();
    return progress;
}

std::vector<TPlanOverlap> TSqlRecordStore::Overlaps(const TPlan& plan)
{
    std::vector<TPlanOverlap> overlaps;
    const std::vector<QSqlRecord> passed = connection_.Rows(
        QStringLiteral("SELECT p.path, r.number, r.label, r.ip FROM plan_rows r JOIN plans p ON p.sha256 = r.plan "
                       "WHERE r.plan <> ? AND r.state = 'passed' ORDER BY p.registered_at, r.plan, r.number"),
        {PlanText(plan.sha256)});
    for (const TPlanRow& row : plan.rows) {
        const QString ip = RowIp(row);
        for (const QSqlRecord& other : passed) {
            TPlanOverlap overlap{row.number, QString(), other.value("path").toString(), other.value("number").toInt(), false};
            overlap.samePath = overlap.otherPath == plan.path;
            if (!row.label.isEmpty() && other.value("label").toString() == row.label)
                overlap.what = QStringLiteral("label %1").arg(row.label);
            else if (!ip.isEmpty() && other.value("ip").toString() == ip)
                overlap.what = QStringLiteral("IP %1").arg(ip);
            if (!overlap.what.isEmpty())
                overlaps.push_back(overlap);
        }
    }
    return overlaps;
}

std::vector<TRowHold> TSqlRecordStore::Holds(const QByteArray& planSha256)
{
    const QString sql = QStringLiteral("SELECT plan, number, label, state, reserved_mac FROM plan_rows "
                                       "WHERE state IN ('reserved', 'held')%1 ORDER BY plan, number");
    std::vector<TRowHold> holds;
    for (const QSqlRecord& row : planSha256.isEmpty()
                                     ? connection_.Rows(sql.arg(QString()))
                                     : connection_.Rows(sql.arg(QStringLiteral(" AND plan = ?")), {PlanText(planSha256)}))
        holds.push_back(HoldOf(row));
    return holds;
}

std::vector<TRowHold> TSqlRecordStore::Release(const QString& label, const QString& by)
{
    TStoreConnection::TWriteTransaction transaction(connection_);
    std::vector<TRowHold> released;
    const QString now = TimeValue(Now()).toString();
    for (const QSqlRecord& row : connection_.Rows(
             QStringLiteral("SELECT plan, number, label, state, reserved_mac FROM plan_rows "
                            "WHERE label = ? AND state IN ('reserved', 'held') ORDER BY plan, number"),
             {TextValue(label)})) {
        connection_.Execute(QStringLiteral("INSERT INTO releases (plan, plan_row, label, state_before, reserved_mac, "
                                           "released_by, released_at) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                            {row.value("plan"), row.value("number"), row.value("label"), row.value("state"),
                             row.value("reserved_mac"), TextValue(by), now});
        // A held row starts afresh: its FAILs so far no longer count towards holding it again.
        // A reserved row's FAIL still counts: its next unit failing too makes two.
        connection_.Execute(QStringLiteral("UPDATE plan_rows SET fails_after = CASE WHEN state = 'held' THEN "
                                           "(SELECT COALESCE(MAX(id), 0) FROM attempts) ELSE fails_after END, "
                                           "state = 'free', reserved_mac = '' WHERE plan = ? AND number = ?"),
                            {row.value("plan"), row.value("number")});
        released.push_back(HoldOf(row));
    }
    transaction.Commit();
    return released;
}

std::optional<TClaim> TSqlRecordStore::ClaimNext(const TAttempt& attempt)
{
    // The unit's own reserved row first: it may hold that row's values already.
    return Claim(attempt, QString(), {});
}

std::optional<TClaim> TSqlRecordStore::ClaimMac(const TAttempt& attempt)
{
    if (attempt.mac.isEmpty())
        return std::nullopt; // a row without a MAC is no match for a unit whose MAC is unknown
    return Claim(attempt, QStringLiteral(" AND r.mac = ?"), {attempt.mac.toUpper()});
}

std::optional<TClaim> TSqlRecordStore::Claim(const TAttempt& attempt, const QString& condition, const QVariantList& values)
{
    TStoreConnection::TWriteTransaction transaction(connection_);
    if (Postgres())
        connection_.Execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1, hashtext(COALESCE((SELECT path FROM plans "
                                           "WHERE sha256 = ?), '')))")
                                .arg(kPlanFileLocks),
                            {PlanText(attempt.planSha256)});
    // A label or IP that another version of the plan's file has given out, or is giving out,
    // stays with that version unless reissued.
    const QString notElsewhere =
        reissue_ ? QString()
                 : QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM plan_rows o JOIN plans op ON op.sha256 = o.plan "
                                  "JOIN plans mine ON mine.sha256 = r.plan "
                                  "WHERE op.path = mine.path AND o.plan <> r.plan AND o.state <> 'free' "
                                  "AND ((r.label <> '' AND o.label = r.label) OR (r.ip <> '' AND o.ip = r.ip)))");
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("SELECT r.number, r.label, r.mac FROM plan_rows r WHERE r.plan = ?%1 "
                       "AND ((r.state = 'free'%2) OR (r.state = 'reserved' AND r.reserved_mac <> '' AND r.reserved_mac = ?)) "
                       "ORDER BY CASE WHEN r.state = 'reserved' THEN 0 ELSE 1 END, r.number LIMIT 1%3")
            .arg(condition, notElsewhere, Postgres() ? QStringLiteral(" FOR UPDATE SKIP LOCKED") : QString()),
        QVariantList{PlanText(attempt.planSha256)} + values + QVariantList{TextValue(attempt.mac.toUpper())});
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
    if (Postgres()) { // held by this connection until the finish, or until the connection goes
        connection_.Execute(QStringLiteral("SELECT pg_advisory_lock(%1, ?)").arg(kClaimLocks),
                            {static_cast<int>(claim.attemptId)});
        claimLocks_.insert(claim.attemptId);
    }
    transaction.Commit();
    return claim;
}

void TSqlRecordStore::MarkWriting(qint64 attemptId)
{
    if (connection_.Execute(QStringLiteral("UPDATE attempts SET writing = 1 WHERE id = ? AND result = 'IN PROGRESS'"),
                            {attemptId})
        != 1)
        RefuseFinish(attemptId);
}

qint64 TSqlRecordStore::InsertAttempt(const TAttempt& attempt)
{
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("INSERT INTO attempts (plan, plan_row, label, started, ended, station, process_id, operator, "
                       "port, model, mac, firmware_before, firmware_after, result, differs, error, fields, steps, holder) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"),
        {PlanText(attempt.planSha256),
         attempt.planRow > 0 ? QVariant(attempt.planRow) : QVariant(QMetaType::fromType<int>()),
         TextValue(attempt.label), TimeValue(attempt.started.isValid() ? attempt.started : Now()),
         TimeValue(attempt.ended), TextValue(attempt.station),
         attempt.processId, TextValue(attempt.operatorName), TextValue(attempt.port), TextValue(attempt.model),
         TextValue(attempt.mac), TextValue(attempt.firmwareBefore), TextValue(attempt.firmwareAfter),
         ResultText(attempt.result), TextsJson(attempt.differs), TextValue(attempt.error), FieldsJson(attempt.fields),
         StepsJson(attempt.steps), HolderText(identity_)});
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

std::optional<QString> TSqlRecordStore::PassedAnywhere(const QString& mac)
{
    if (mac.isEmpty())
        return std::nullopt;
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("SELECT p.path, a.label FROM attempts a JOIN plans p ON p.sha256 = a.plan "
                       "WHERE UPPER(a.mac) = ? AND a.result = 'PASS' ORDER BY a.id LIMIT 1"),
        {mac.toUpper()});
    if (!row)
        return std::nullopt;
    return QStringLiteral("%1 of %2").arg(row->value("label").toString(), row->value("path").toString());
}

qint64 TSqlRecordStore::RecordUnclaimed(const TAttempt& attempt)
{
    if (attempt.result == TAttemptResult::InProgress)
        throw EStoreError(QStringLiteral("An attempt without a row is recorded once it has ended, not IN PROGRESS."));
    TAttempt recorded = attempt;
    recorded.planRow = 0;
    if (!recorded.ended.isValid())
        recorded.ended = Now();
    return InsertAttempt(recorded);
}

void TSqlRecordStore::Finish(const TAttempt& attempt)
{
    if (attempt.result == TAttemptResult::InProgress)
        throw EStoreRefusal(QStringLiteral("Attempt %1 cannot finish IN PROGRESS.").arg(attempt.id));
    const bool pass = attempt.result == TAttemptResult::Pass;
    TStoreConnection::TWriteTransaction transaction(connection_);
    const std::optional<QSqlRecord> before = connection_.Row(
        QStringLiteral("SELECT plan, plan_row, mac, result, taken_back, writing, error FROM attempts WHERE id = ?%1")
            .arg(Postgres() ? QStringLiteral(" FOR UPDATE") : QString()),
        {attempt.id});
    if (!before)
        RefuseFinish(attempt.id);
    const QString resultBefore = before->value("result").toString();
    const bool takenBack = resultBefore == QLatin1String("INTERRUPTED") && before->value("taken_back").toInt() == 1;
    if (resultBefore != QLatin1String("IN PROGRESS") && !takenBack)
        RefuseFinish(attempt.id);
    const QVariant plan = before->value("plan");
    const QVariant number = before->value("plan_row");
    TAttemptResult result = attempt.result;
    QString error = attempt.error;
    if (takenBack && pass) {
        // The unit passed while its claim was taken back: the row is its own unless another
        // unit has got it since.
        const std::optional<QSqlRecord> row = connection_.Row(
            QStringLiteral("SELECT state, reserved_mac FROM plan_rows WHERE plan = ? AND number = ?"), {plan, number});
        const QString state = row ? row->value("state").toString() : QString();
        if (state != QLatin1String("free")
            && !(state == QLatin1String("reserved") && row->value("reserved_mac").toString() == attempt.mac.toUpper()))
            throw EStoreRefusal(QStringLiteral("Attempt %1 passed after its claim was taken back, and row %2 has gone to "
                                               "another unit since (%3): both units may hold its values.")
                                    .arg(attempt.id)
                                    .arg(number.toInt())
                                    .arg(state));
        connection_.Execute(QStringLiteral("UPDATE plan_rows SET attempt = ? WHERE plan = ? AND number = ?"),
                            {attempt.id, plan, number});
    } else if (takenBack) {
        result = TAttemptResult::Fail;
        error = QStringLiteral("%1 (%2)").arg(error.isEmpty() ? ResultText(attempt.result) : error,
                                             before->value("error").toString());
    }
    connection_.Execute(
        QStringLiteral("UPDATE attempts SET ended = ?, model = ?, firmware_before = ?, firmware_after = ?, result = ?, "
                       "differs = ?, error = ?, fields = ?, steps = ? WHERE id = ?"),
        {TimeValue(attempt.ended.isValid() ? attempt.ended : Now()), TextValue(attempt.model),
         TextValue(attempt.firmwareBefore), TextValue(attempt.firmwareAfter), ResultText(result),
         TextsJson(attempt.differs), TextValue(error), FieldsJson(attempt.fields), StepsJson(attempt.steps), attempt.id});
    if (pass)
        connection_.Execute(QStringLiteral("UPDATE plan_rows SET state = 'passed', reserved_mac = '' "
                                           "WHERE plan = ? AND number = ? AND attempt = ?"),
                            {plan, number, attempt.id});
    else if (!takenBack) // a take-back settled the row already
        SettleRow(plan, number, attempt.id, before->value("writing").toInt() == 1, before->value("mac").toString());
    transaction.Commit();
    if (claimLocks_.erase(attempt.id) > 0)
        connection_.Execute(QStringLiteral("SELECT pg_advisory_unlock(%1, ?)").arg(kClaimLocks),
                            {static_cast<int>(attempt.id)});
}

void TSqlRecordStore::SettleRow(const QVariant& plan, const QVariant& number, qint64 attemptId, bool written,
                                const QString& mac)
{
    const std::optional<QSqlRecord> row = connection_.Row(
        QStringLiteral("SELECT reserved_mac, fails_after FROM plan_rows WHERE plan = ? AND number = ? AND attempt = ?"),
        {plan, number, attemptId});
    if (!row)
        return; // the row went on without this attempt
    const QString reservedFor = written ? mac.toUpper() : row->value("reserved_mac").toString();
    const int failedUnits =
        connection_
            .Row(QStringLiteral("SELECT COUNT(DISTINCT UPPER(mac)) FROM attempts WHERE plan = ? AND plan_row = ? "
                                "AND result = 'FAIL' AND id > ?"),
                 {plan, number, row->value("fails_after")})
            ->value(0)
            .toInt();
    const QString state = failedUnits >= 2          ? QStringLiteral("held")
                          : !reservedFor.isEmpty() ? QStringLiteral("reserved")
                                                   : QStringLiteral("free");
    connection_.Execute(QStringLiteral("UPDATE plan_rows SET state = ?, attempt = NULL, reserved_mac = ? "
                                       "WHERE plan = ? AND number = ? AND attempt = ?"),
                        {state, TextValue(reservedFor), plan, number, attemptId});
}

void TSqlRecordStore::RefuseFinish(qint64 attemptId)
{
    const std::optional<QSqlRecord> row =
        connection_.Row(QStringLiteral("SELECT result, error FROM attempts WHERE id = ?"), {attemptId});
    if (!row)
        throw EStoreRefusal(QStringLiteral("The record store %1 has no attempt %2 to finish.")
                                .arg(connection_.Location().shown)
                                .arg(attemptId));
    const QString error = row->value("error").toString();
    throw EStoreRefusal(QStringLiteral("Attempt %1 has ended already (%2%3); it is not recorded again.")
                            .arg(attemptId)
                            .arg(row->value("result").toString(), error.isEmpty() ? QString() : QStringLiteral(": ") + error));
}

bool TSqlRecordStore::ClaimLockFree(qint64 attemptId)
{
    if (!connection_.Row(QStringLiteral("SELECT pg_try_advisory_lock(%1, ?)").arg(kClaimLocks), {static_cast<int>(attemptId)})
             ->value(0)
             .toBool())
        return false;
    connection_.Execute(QStringLiteral("SELECT pg_advisory_unlock(%1, ?)").arg(kClaimLocks), {static_cast<int>(attemptId)});
    return true;
}

std::vector<TTakenBack> TSqlRecordStore::ReclaimAbandoned(const QByteArray& planSha256, const QString& station,
                                                          const std::function<bool(qint64 processId)>& alive,
                                                          int timeoutSeconds)
{
    TStoreConnection::TWriteTransaction transaction(connection_);
    const QDateTime now = Now();
    std::vector<TTakenBack> takenBack;
    for (const QSqlRecord& claim : connection_.Rows(
             QStringLiteral("SELECT a.id, a.plan_row, a.label, a.mac, a.station, a.process_id, a.started, a.holder, "
                            "a.writing FROM plan_rows r JOIN attempts a ON a.id = r.attempt "
                            "WHERE r.plan = ? AND r.state = 'claimed' AND a.result = 'IN PROGRESS' ORDER BY a.id"),
             {PlanText(planSha256)})) {
        const qint64 attemptId = claim.value("id").toLongLong();
        const qint64 processId = claim.value("process_id").toLongLong();
        const QString holderStation = claim.value("station").toString();
        const QString holderBoot = BootOfHolder(claim.value("holder").toString());
        const QDateTime started = TimeOf(claim.value("started"));
        QString why;
        if (Postgres()) {
            // The holder's connection keeps the claim's lock: only a gone connection lets it go.
            if (claimLocks_.count(attemptId) == 0 && ClaimLockFree(attemptId))
                why = QStringLiteral("Taken back: the connection of process %1 on %2 to the store is gone.")
                          .arg(processId)
                          .arg(holderStation);
        } else if (holderStation == station && !holderBoot.isEmpty() && !identity_.bootId.isEmpty()
                   && holderBoot != identity_.bootId) {
            why = QStringLiteral("Taken back: process %1 on %2 ran before the PC last started.").arg(processId).arg(station);
        } else if (holderStation == station && !alive(processId)) {
            why = QStringLiteral("Taken back: process %1 on %2 is no longer running.").arg(processId).arg(station);
        } else if (holderStation != station && timeoutSeconds > 0 && started.isValid()
                   && started.secsTo(now) > timeoutSeconds) {
            why = QStringLiteral("Taken back: claimed at %1 and still open after more than %2 s.")
                      .arg(claim.value("started").toString())
                      .arg(timeoutSeconds);
        }
        if (why.isEmpty())
            continue;
        if (connection_.Execute(QStringLiteral("UPDATE attempts SET ended = ?, result = 'INTERRUPTED', error = ?, "
                                               "taken_back = 1 WHERE id = ? AND result = 'IN PROGRESS'"),
                                {TimeValue(now), why, attemptId})
            != 1)
            continue; // its holder finished it meanwhile
        const bool written = claim.value("writing").toInt() == 1;
        SettleRow(PlanText(planSha256), claim.value("plan_row"), attemptId, written, claim.value("mac").toString());
        takenBack.push_back({claim.value("plan_row").toInt(), claim.value("label").toString(), why, written});
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
