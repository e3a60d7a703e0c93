#pragma once
// One port of the production line (see batch_run.h): its own thread, device session and store
// connection; the loop of waiting for a unit, commissioning it, recording it and waiting for it
// to go. Only batch_run.cpp makes stations.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "device/device_session.h"
#include "provision/attempt_journal.h"
#include "provision/batch_run.h"
#include "provision/record_store.h"

namespace r7730::provision {

// Whether a process of this PC still runs: a claim held by one that does not is taken back.
bool ProcessAlive(qint64 processId);

// One port of the bench, living in its own thread from construction to destruction.
class TBatchRun::TStation : private TLogLinesListener {
public:
    TStation(TBatchRun& run, const TBatchPort& port)
        : run_(run), port_(port), journal_(run.settings_.journalPath),
          session_(*this, run.settings_.timeoutMs,
                   [this](int waitMs) { State(QStringLiteral("waiting for the unit to restart (up to %1 s)").arg(waitMs / 1000)); })
    {
    }

    void Run();
    // From another thread: the session's waits end at once.
    void Interrupt()
    {
        QMetaObject::invokeMethod(&context_, [this] { session_.Interrupt(); }, Qt::QueuedConnection);
    }

private:
    enum class TPortState { Open, Absent, Failed };

    // Told only when it changes: a station polling an empty bench says so once.
    void State(const QString& state)
    {
        if (state == state_)
            return;
        state_ = state;
        run_.events_.StateChanged(port_.name, state);
    }
    void Tell(const QString& text) { run_.events_.Told(port_.name, text); }
    void LogLine(const QString& line) override
    {
        if (unitThere_)
            run_.events_.LogLine(port_.name, line);
    }

    // The loop of units; a store error means the store is away, anything else raises.
    void Serve();
    // Something unexpected ended the station (its unit in progress recorded FAIL already).
    void Unexpected(const QString& what);
    // The store open and the journal recorded into it; false while the store is away.
    bool EnsureStore();
    void StoreAway(const QString& why);
    // No row is left that a unit may get; a row reserved for a unit keeps the station going
    // while that unit is on its port (unit: what is there, read here when nothing was yet).
    bool PlanDone(std::optional<TStatusReply>& unit);
    // Takes back the claims of stations that are gone, and says so.
    void TakeBackAbandoned();
    TPortState EnsureOpen();
    // Waits between polls; a port that goes away meanwhile is closed, to be looked for again.
    bool Pause(int ms);
    // A status read on the station's line; nothing without an answer. A port gone is closed.
    std::optional<TStatusReply> Look();
    std::optional<TStatusReply> WaitForUnit();
    // Until the unit of mac is gone; a unit with another MAC that answered meanwhile is returned.
    std::optional<TStatusReply> WaitUntilGone(const QString& mac);
    // Claims, commissions, records and reports one unit.
    void HandleUnit(const TStatusReply& status, double readSeconds);
    // The rows this unit does not get, said when another unit comes.
    void TellHolds(const QString& mac);
    void Commission(const TPlanRow* row, const TStatusReply& status, TAttempt& attempt);
    // Journals, records and reports an ended attempt; the store being away loses nothing.
    void Record(TAttempt& attempt, bool claimed);
    // Puts an ended attempt into the store; false when the store is away.
    bool Store(TAttempt& attempt, bool claimed);

    TBatchRun& run_;
    TBatchPort port_;
    TAttemptJournal journal_;
    std::unique_ptr<TRecordStore> store_;
    QString storeAway_; // why the store cannot be used now; empty while it can
    bool unitThere_ = false;
    bool portFailed_ = false; // the port cannot be opened for another reason than being absent
    QString state_;
    TDeviceSession session_;
    TPortLine stationLine_;
    QObject context_; // lives in the station's thread: interruptions are delivered there
};

} // namespace r7730::provision
