#pragma once
// The record store on Qt SQL: the same statements on SQLite and PostgreSQL, apart from how a
// claim keeps others off its row (SQLite: the whole store is written by one at a time, from
// BEGIN IMMEDIATE; PostgreSQL: the row is locked, and the others skip it for the next free one).
//
// Every change that must not be half made (a claim, a finish, a take-back) is one transaction,
// and a close is conditional on the attempt still being in progress, so of two that race to close
// one attempt exactly one writes and the other learns it.
#include <memory>

#include "provision/record_store.h"
#include "provision/record_store_connection.h"

namespace r7730::provision {

class TSqlRecordStore final : public TRecordStore {
public:
    explicit TSqlRecordStore(const TStoreLocation& location);

    QString Description() const override;
    QString DefaultReportFolder() const override;
    void RegisterPlan(const TPlan& plan) override;
    TPlanProgress Progress(const QByteArray& planSha256) override;
    std::optional<TClaim> ClaimNext(const TAttempt& attempt) override;
    std::optional<TClaim> ClaimMac(const TAttempt& attempt) override;
    bool Passed(const QByteArray& planSha256, const QString& mac) override;
    qint64 RecordUnclaimed(const TAttempt& attempt) override;
    void Finish(const TAttempt& attempt) override;
    int ReclaimAbandoned(const QByteArray& planSha256, const QString& station,
                         const std::function<bool(qint64 processId)>& alive, int timeoutSeconds) override;
    std::vector<TAttempt> Attempts(const QByteArray& planSha256) override;

private:
    // The lowest free row of the plan meeting condition (with its values), claimed for attempt.
    std::optional<TClaim> Claim(const TAttempt& attempt, const QString& condition, const QVariantList& values);
    qint64 InsertAttempt(const TAttempt& attempt);
    void RefuseFinish(qint64 attemptId);

    TStoreConnection connection_;
};

} // namespace r7730::provision
