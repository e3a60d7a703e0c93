#pragma once
// A plan applied to unit after unit on several ports side by side: the production line.
//
// Principles of operation. Each port is a station with its own thread, device session and
// store connection (a port hands its events to the thread that made it; a Qt SQL connection
// belongs to its thread), so one station waiting for a rebooting unit never holds up another.
// A station waits for a unit (its port exists and a status read is answered, polled gently,
// nothing logged while nobody is there), reads its MAC and firmware, claims a plan row in the
// store (the next free row, or the row of its MAC), applies and verifies the row
// (unit_commissioning.h), records the attempt, has its reports written, then waits until the
// unit is gone (no answer, or another MAC) before the next. After a unit the port goes back to
// the station's own line, and "gone" and "a new unit" are judged on that line only, so a plan
// that moves a unit's serial line never hangs the loop.
//
// A station ends when no free row is left (matching the next row) or every row has a PASS or is
// held (matching MACs) and its last unit is gone; when a port fails to open for another reason
// than being absent; after a FAIL with stopOnFail once its unit is recorded; or at Interrupt,
// which records the unit in progress as INTERRUPTED first. The stores of several processes, on
// one PC or many, may be one: the claims keep every row handed out once.
//
// A port that goes away mid-unit ends that unit FAIL (its step and "the port went away"); the
// station records it, has its reports written and waits for its port again. Each ended attempt
// goes into the journal before the store; while the store is away a station takes no new unit,
// says so, and records the journal when the store answers again. A unit that passed with
// another plan is refused unless reissued. Nothing unexpected leaves a station's thread: it
// ends the unit in progress FAIL and the station with an error line.
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "provision/attempt.h"
#include "provision/plan.h"

namespace r7730 {
class TComPort;
}

namespace r7730::provision {

enum class TMatch { Next, Mac };

struct TBatchSettings {
    TPlan plan;
    TMatch match = TMatch::Next;
    QString storeUrl;      // see TRecordStore::Open
    QString workingFolder; // where the default store lies
    QString operatorName;
    QString station; // this PC's host name
    bool stopOnFail = false;
    int timeoutMs = 3000;            // a read's wait for its reply
    int pollMs = 1000;               // between the status reads that look for a unit or its going
    int claimTimeoutSeconds = 600;   // a claim older than this is taken back from any station
    bool reissue = false;            // rows and MACs that passed before may be commissioned again
    QString journalPath;             // the stations' journal of ended attempts (attempt_journal.h)
};

// One port of the bench.
struct TBatchPort {
    QString name;     // as given (-p)
    QString recorded; // as recorded: its stable /dev/serial/by-id link where it has one
    // Puts the port on the station's own line (the settings file's); runs in the station's thread.
    std::function<void(TComPort&)> setUp;
};

// What the stations tell, from their own threads: an implementation is safe to call from any
// thread at any time.
class IBatchEvents {
public:
    virtual ~IBatchEvents() = default;
    // What a station does now: "waiting for a unit", "writing wan", "PASS A-01: take it away".
    virtual void StateChanged(const QString& port, const QString& state) = 0;
    // A note for the operator: a unit skipped, refused or lost.
    virtual void Told(const QString& port, const QString& text) = 0;
    // An attempt recorded, with the reports written for it.
    virtual void AttemptEnded(const QString& port, const TAttempt& attempt, const QStringList& reports) = 0;
    // A station that cannot go on (the port cannot be opened, the store fails).
    virtual void StationFailed(const QString& port, const QString& text) = 0;
    // A log line of the device link (TX and RX frames as hex text) while a unit is there.
    virtual void LogLine(const QString& port, const QString& line) = 0;
};

// Writes the reports of a recorded attempt and returns their paths; raises std::exception with
// a plain message when it cannot. Called from a station's thread.
using TReportWriter = std::function<QStringList(const TAttempt& attempt)>;

struct TBatchTotals {
    int passed = 0;
    int notPassed = 0; // FAIL, REFUSED, INTERRUPTED
    int stationsFailed = 0;
    bool interrupted = false;
};

class TBatchRun {
public:
    TBatchRun(TBatchSettings settings, std::vector<TBatchPort> ports, IBatchEvents& events, TReportWriter writeReports);
    ~TBatchRun();
    TBatchRun(const TBatchRun&) = delete;
    TBatchRun& operator=(const TBatchRun&) = delete;

    // Runs every station until each has ended; the calling thread runs its event loop meanwhile
    // (a signal notifier there may call Interrupt).
    TBatchTotals Run();
    // Every station records its unit in progress as INTERRUPTED and ends. Safe from any thread.
    void Interrupt();

    const TBatchSettings& Settings() const { return settings_; }

private:
    class TStation;
    friend class TStation;
    bool ShouldStop() const { return stop_.load() || interrupted_.load(); }
    void Count(const TAttempt& attempt);
    // At the end: the claims of gone stations taken back, the rows reserved or held, said.
    void TellRowsLeft();

    TBatchSettings settings_;
    std::vector<TBatchPort> ports_;
    IBatchEvents& events_;
    TReportWriter writeReports_;
    std::atomic<bool> stop_{false};        // a FAIL with stopOnFail
    std::atomic<bool> interrupted_{false};
    std::mutex mutex_;                     // guards what follows
    TBatchTotals totals_;
    std::vector<TStation*> stations_;      // the stations running now
};

// The name a port is recorded by: the /dev/serial/by-id link that leads to the same device
// file, or else its absolute path; a name that leads to no file stays as given.
QString RecordedPortName(const QString& name, const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));

} // namespace r7730::provision
