#pragma once
// The record store on Qt SQL: the same statements on SQLite and PostgreSQL, apart from how a
// claim keeps others off its row (SQLite: the whole store is written by one at a time, from
// BEGIN IMMEDIATE; PostgreSQL: the row is locked, and the others skip it for the next free one;
// the claims of one plan file's versions one after another, under an advisory lock of the
// transaction). A claim on PostgreSQL is held by a session-level advisory lock (lock space
// kClaimLocks, key the attempt's id) from the claim to its finish.
//
// Every change that must not be half made (a claim, a finish, a take-back) is one transaction,
// and a close is conditional on the attempt still being in progress, so of two that race to close
// one attempt exactly one writes and the other learns it.
#include <memory>
#include <set>

#include "provision/record_store.h"
#include "provision/record_store_connection.h"

namespace r7730::provision {

class TSqlRecordStore final : public TRecordStore {
public:
    explicit TSqlRecordStore(const TStoreLocation& location);

    QString Description() const override;
    QString DefaultReportFolder() const override;
    QDateTime Now() override;
    void RegisterPlan(const TPlan& plan) override;
    TPlanProgress Progress(const QByteArray& planSha256) override;
    std::vector<TPlanOverlap> Overlaps(const TPlan& plan) override;
    void SetReissue(bool reissue) override { reissue_ = reissue; }
    std::vector<TRowHold> Holds(const QByteArray& planSha256) override;
    std::vector<TRowHold> Release(const QString& label, const QString& by) override;
    std::optional<TClaim> ClaimNext(const TAttempt& attempt) override;
    std::optional<TClaim> ClaimMac(const TAttempt& attempt) override;
    void MarkWriting(qint64 attemptId) override;
    bool Passed(const QByteArray& planSha256, const QString& mac) override;
    std::optional<QString> PassedAnywhere(const QString& mac) override;
    qint64 RecordUnclaimed(const TAttempt& attempt) override;
    void Finish(const TAttempt& attempt) override;
    std::vector<TTakenBack> ReclaimAbandoned(const QByteArray& planSha256, const QString& station,
                                             const std::function<bool(qint64 processId)>& alive,
                                             int timeoutSeconds) override;
    std::vector<TAttempt> Attempts(const QByteArray& planSha256) override;

private:
    // The first row of the plan meeting condition (with its values), claimed for attempt.
    std::optional<TClaim> Claim(const TAttempt& attempt, const QString& condition, const QVariantList& values);
    qint64 InsertAttempt(const TAttempt& attempt);
    // The row of an attempt that ended without PASS: reserved for mac when the unit may hold its
    // values (written, or reserved before), held after FAILs on two units, free else.
    void SettleRow(const QVariant& plan, const QVariant& number, qint64 attemptId, bool written, const QString& mac);
    [[noreturn]] void RefuseFinish(qint64 attemptId);
    bool Postgres() const { return connection_.Kind() == TStoreKind::Postgres; }
    // Whether the PostgreSQL session holding the claim of attemptId is gone.
    bool ClaimLockFree(qint64 attemptId);

    TStoreConnection connection_;
    TStationIdentity identity_;
    bool reissue_ = false;
    std::set<qint64> claimLocks_; // the PostgreSQL claim locks this connection holds
};

} // namespace r7730::provision
