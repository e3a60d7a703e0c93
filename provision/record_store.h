#pragma once
// The record of a production line: plans, the claims of their rows and one row per attempt,
// in a database through Qt SQL. A SQLite file by default (WAL, safe for several processes on
// one PC); a PostgreSQL database shared by several stations. The schema is made on first use
// and carries a version.
//
// Principles of operation. A plan is registered once, by the SHA-256 of its file, with its rows
// (number, label, MAC). A unit gets a row by a claim that no two claimants can both win (one
// transaction; on PostgreSQL a row lock that others skip). The claim opens the attempt (IN
// PROGRESS) at once, so no attempt is ever lost; Finish closes it exactly once. A PASS uses its
// row up; any other end gives the row back to be claimed again. A claim whose holder died is
// taken back: when its process is gone (same station) or after a timeout; its attempt is
// closed as INTERRUPTED and the row is free again.
//
// Each thread opens its own store (a Qt SQL connection belongs to the thread that made it).
// Every failure raises EStoreError with the database's own words.
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "provision/attempt.h"
#include "provision/plan.h"

namespace r7730::provision {

class EStoreError : public std::runtime_error {
public:
    explicit EStoreError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    QString Text() const { return text_; }

private:
    QString text_;
};

// Who claims: the attempt's station, process, operator and port, and when it began.
struct TClaimant {
    QString station;
    qint64 processId = 0;
    QString operatorName;
    QString port;
};

// A row claimed, with its attempt opened (IN PROGRESS).
struct TClaim {
    int planRow = 0;
    qint64 attemptId = 0;
};

struct TPlanProgress {
    int rows = 0;
    int passed = 0;   // rows used up by a PASS
    int claimed = 0;  // rows held by an attempt in progress
    int Unclaimed() const { return rows - passed - claimed; }
};

class TRecordStore {
public:
    // url: empty for `provision.sqlite` in workingFolder; a path (a SQLite file; a relative one
    // in workingFolder); "postgresql://[user@]host[:port]/dbname", host being a name or a socket
    // folder ("postgresql://%2Ftmp%2Fpg/provision" or "postgresql:///provision?host=/tmp/pg");
    // further "?name=value" parameters go to the PostgreSQL client (sslmode, connect_timeout).
    // A SQLite path that exists and is not a regular file (or a link to one) is refused. Raises
    // EStoreError when the store cannot be opened (naming it, never with a password) or was
    // made by a newer program.
    static std::unique_ptr<TRecordStore> Open(const QString& url, const QString& workingFolder);
    virtual ~TRecordStore() = default;

    // "provision.sqlite (SQLite)", "postgresql://user@/provision (PostgreSQL)": for messages.
    virtual QString Description() const = 0;
    // Where reports go by default: `reports/` beside a SQLite file, in the working folder else.
    virtual QString DefaultReportFolder() const = 0;

    // Registers the plan and its rows once; the same SHA-256 again changes nothing.
    virtual void RegisterPlan(const TPlan& plan) = 0;
    virtual TPlanProgress Progress(const QByteArray& planSha256) = 0;

    // The lowest unclaimed row, claimed for attempt: the attempt is stored IN PROGRESS with its
    // plan, station, process, operator, port and start (now when it has none), the row's label,
    // and its MAC (the row's when the attempt has none); nothing when no row is free.
    virtual std::optional<TClaim> ClaimNext(const TAttempt& attempt) = 0;
    // The row whose MAC is attempt.mac (in any case), when it is free; nothing else, and nothing
    // for an attempt without a MAC.
    virtual std::optional<TClaim> ClaimMac(const TAttempt& attempt) = 0;
    // Whether this plan has a PASS for the MAC (in any case) already.
    virtual bool Passed(const QByteArray& planSha256, const QString& mac) = 0;
    // Records an ended attempt that claimed no row (a MAC not in the plan: REFUSED; its end is
    // now when it has none); returns its id. One IN PROGRESS raises.
    virtual qint64 RecordUnclaimed(const TAttempt& attempt) = 0;
    // Closes the attempt attempt.id opened by a claim, exactly once: its end (now when it has
    // none), model, firmware before and after, fields, result, differing keys, steps and error
    // are stored, while what the claim stored stays; its row is used up (PASS) or given back.
    // Raises, writing nothing, for a result IN PROGRESS, an unknown attempt, and one that has
    // ended already: finished before, or taken back as INTERRUPTED.
    virtual void Finish(const TAttempt& attempt) = 0;

    // Takes back the claims of this plan whose holder is gone: on `station`, a process for
    // which alive(processId) is false; on any station, a claim older than timeoutSeconds (none
    // by age when timeoutSeconds <= 0). Their attempts end INTERRUPTED, with an error saying
    // which of the two. Returns how many were taken back.
    virtual int ReclaimAbandoned(const QByteArray& planSha256, const QString& station,
                                 const std::function<bool(qint64 processId)>& alive, int timeoutSeconds) = 0;

    // Every attempt, oldest first (all plans when planSha256 is empty).
    virtual std::vector<TAttempt> Attempts(const QByteArray& planSha256 = {}) = 0;
};

} // namespace r7730::provision
