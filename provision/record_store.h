#pragma once
// The record of a production line: plans, the claims of their rows and one row per attempt,
// in a database through Qt SQL. A SQLite file by default (WAL, safe for several processes on
// one PC); a PostgreSQL database shared by several stations. The schema is made on first use
// and carries a version.
//
// Principles of operation. A plan is registered once, by the SHA-256 of its file, with its rows
// (number, label, MAC, IP). A unit gets a row by a claim that no two claimants can both win (one
// transaction; on PostgreSQL a row lock that others skip). The claim opens the attempt (IN
// PROGRESS) at once, so no attempt is ever lost; Finish closes it exactly once. The holder marks
// the attempt "writing" before it writes anything to the unit, and from then on the unit may
// hold the row's values: a PASS uses the row up; any other end after "writing" reserves the row
// for that unit's MAC (only that unit claims it again) until it passes or an operator releases
// it; an end before "writing" gives the row back. A row that failed on two different units is
// held for the engineer, whatever it was before, until released.
//
// A claim whose holder died is taken back, its attempt closed as INTERRUPTED and its row
// reserved (after "writing") or freed. On PostgreSQL the holder keeps a session-level advisory
// lock on its claim, so a claim is taken back exactly when its holder's connection is gone; on
// SQLite (one PC) the holder is known by its process and the boot it ran in; a claim of another
// PC's station in a SQLite file goes after the timeout. A taken-back attempt still accepts its
// holder's outcome: a PASS then uses the row up (unless another unit got it meanwhile), any
// other end is kept as FAIL. Every time the store writes comes from its own clock (the server's
// on PostgreSQL).
//
// Each thread opens its own store (a Qt SQL connection belongs to the thread that made it).
// Every failure raises EStoreError with the database's own words.
#include <QByteArray>
#include <QDateTime>
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

// The store answered and refused what was asked (an attempt ended already, a row not there):
// unlike other store errors, asking again later changes nothing.
class EStoreRefusal : public EStoreError {
public:
    using EStoreError::EStoreError;
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
    int reserved = 0; // rows waiting for the unit that may hold their values
    int held = 0;     // rows failed on two units, waiting for the engineer
    int Unclaimed() const { return rows - passed - claimed; }
    // Rows any unit may claim now.
    int Free() const { return rows - passed - claimed - reserved - held; }
};

// A row no new unit gets: reserved for one unit's MAC, or held after failing on two units.
struct TRowHold {
    enum class TKind { Reserved, Held };
    TKind kind = TKind::Reserved;
    QByteArray planSha256;
    int planRow = 0;
    QString label;
    QString mac; // Reserved: the unit that may hold the row's values
};

// A row of another plan whose label or IP has a PASS: the same address or sticker twice.
struct TPlanOverlap {
    int row = 0;          // of the plan asked about
    QString what;         // "label A-01", "IP 10.1.0.1"
    QString otherPath;    // the other plan's file
    int otherRow = 0;
    bool samePath = false; // the other plan came from the same file (an edited plan)
};

// A claim taken back from a holder that is gone.
struct TTakenBack {
    int planRow = 0;
    QString label;
    QString why;
    bool reserved = false; // its unit may hold the row's values
};

// Who a station is, so a claim of a dead one can be told from a live one's: recorded with each
// claim (the instance and the boot beside the process).
struct TStationIdentity {
    QString instance; // made new for each store object
    qint64 processId = 0;
    QString bootId;   // this boot of the PC: a process of an earlier boot is dead
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

    // The store's clock: the server's on PostgreSQL, this PC's on SQLite; local time.
    virtual QDateTime Now() = 0;

    // Registers the plan and its rows once; the same SHA-256 again changes nothing.
    virtual void RegisterPlan(const TPlan& plan) = 0;
    virtual TPlanProgress Progress(const QByteArray& planSha256) = 0;
    // The rows of other plans whose label or IP, given again by plan, has a PASS.
    virtual std::vector<TPlanOverlap> Overlaps(const TPlan& plan) = 0;
    // Whether claims may give out rows whose label or IP has a PASS (or a claim, a reservation)
    // in another plan from the same file: false (the default) skips them.
    virtual void SetReissue(bool reissue) = 0;
    // The rows of the plan that no new unit gets (all plans when planSha256 is empty).
    virtual std::vector<TRowHold> Holds(const QByteArray& planSha256) = 0;
    // Frees every reserved or held row labelled label (in any plan), recording who and when;
    // returns the rows freed.
    virtual std::vector<TRowHold> Release(const QString& label, const QString& by) = 0;

    // The row reserved for attempt.mac, else the lowest free row, claimed for attempt: the
    // attempt is stored IN PROGRESS with its plan, station, process, operator, port and start
    // (now when it has none), the row's label, and its MAC (the row's when the attempt has
    // none); nothing when no row is free.
    virtual std::optional<TClaim> ClaimNext(const TAttempt& attempt) = 0;
    // The row whose MAC is attempt.mac (in any case), when it is free or reserved for that MAC;
    // nothing else, and nothing for an attempt without a MAC.
    virtual std::optional<TClaim> ClaimMac(const TAttempt& attempt) = 0;
    // Records that the attempt is about to write to its unit. Raises EStoreRefusal when the
    // attempt is no longer in progress (its claim was taken back): then nothing may be written.
    virtual void MarkWriting(qint64 attemptId) = 0;
    // Whether this plan has a PASS for the MAC (in any case) already.
    virtual bool Passed(const QByteArray& planSha256, const QString& mac) = 0;
    // A PASS of the MAC in any plan: the plan's file and the row's label; nothing when none.
    virtual std::optional<QString> PassedAnywhere(const QString& mac) = 0;
    // Records an ended attempt that claimed no row (a MAC not in the plan: REFUSED; its end is
    // now when it has none); returns its id. One IN PROGRESS raises.
    virtual qint64 RecordUnclaimed(const TAttempt& attempt) = 0;
    // Closes the attempt attempt.id opened by a claim, exactly once: its end (now when it has
    // none), model, firmware before and after, fields, result, differing keys, steps and error
    // are stored, while what the claim stored stays; its row is used up (PASS), reserved, held
    // or given back (see above). An attempt taken back as INTERRUPTED takes its holder's outcome
    // (see above). Raises EStoreRefusal, writing nothing, for a result IN PROGRESS, an unknown
    // attempt, one that has ended already, and a PASS whose row went to another unit.
    virtual void Finish(const TAttempt& attempt) = 0;

    // Takes back the claims of this plan whose holder is gone: on PostgreSQL, a claim whose
    // holder's connection is gone; on SQLite, on `station`, a holder of an earlier boot or a
    // process for which alive(processId) is false, and on another station a claim older than
    // timeoutSeconds (none by age when timeoutSeconds <= 0). Their attempts end INTERRUPTED,
    // with an error saying why.
    virtual std::vector<TTakenBack> ReclaimAbandoned(const QByteArray& planSha256, const QString& station,
                                                     const std::function<bool(qint64 processId)>& alive,
                                                     int timeoutSeconds) = 0;

    // Every attempt, oldest first (all plans when planSha256 is empty).
    virtual std::vector<TAttempt> Attempts(const QByteArray& planSha256 = {}) = 0;
};

} // namespace r7730::provision
