#pragma once
// One port of the production line (see batch_run.h): its own thread, device session and store
// connection; the loop of waiting for a unit, commissioning it, recording it and waiting for it
// to go. Only batch_run.cpp makes stations.
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "device/device_session.h"
#include "provision/batch_run.h"
#include "provision/record_store.h"

namespace r7730::provision {

// Whether a process of this PC still runs: a claim held by one that does not is taken back.
bool ProcessAlive(qint64 processId);

// One port of the bench, living in its own thread from construction to destruction.
class TBatchRun::TStation : private TLogLinesListener {
public:
    TStation(TBatchRun& run, const TBatchPort& port)
        : run_(run), port_(port),
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

    bool PlanDone();
    TPortState EnsureOpen();
    // A status read on the station's line; nothing without an answer. A port gone is closed.
    std::optional<TStatusReply> Look();
    std::optional<TStatusReply> WaitForUnit();
    // Until the unit of mac is gone; a unit with another MAC that answered meanwhile is returned.
    std::optional<TStatusReply> WaitUntilGone(const QString& mac);
    // Claims, commissions, records and reports one unit. False when the station cannot go on.
    bool HandleUnit(const TStatusReply& status, double readSeconds);
    bool Record(TAttempt& attempt, bool claimed);

    TBatchRun& run_;
    TBatchPort port_;
    std::unique_ptr<TRecordStore> store_;
    bool unitThere_ = false;
    QString state_;
    TDeviceSession session_;
    TPortLine stationLine_;
    QObject context_; // lives in the station's thread: interruptions are delivered there
};

} // namespace r7730::provision
