// A station of the production line: wait for a unit, commission it, record it, wait for it to
// go (see batch_station.h).
#include "provision/batch_station.h"

#include <QElapsedTimer>
#include <cerrno>
#include <csignal>
#include <unistd.h>

#include "provision/unit_commissioning.h"

namespace r7730::provision {
namespace {

double SecondsSince(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.elapsed()) / 1000.0;
}

const TPlanRow* RowNumbered(const TPlan& plan, int number)
{
    for (const TPlanRow& row : plan.rows)
        if (row.number == number)
            return &row;
    return nullptr;
}

bool PlanHasMac(const TPlan& plan, const QString& mac)
{
    for (const TPlanRow& row : plan.rows)
        if (row.mac == mac)
            return true;
    return false;
}

QString UnitName(const TAttempt& attempt)
{
    return attempt.label.isEmpty() ? attempt.mac : attempt.label;
}

} // namespace

bool ProcessAlive(qint64 processId)
{
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

void TBatchRun::TStation::Run()
{
    {
        const std::lock_guard lock(run_.mutex_);
        run_.stations_.push_back(this);
        if (run_.interrupted_)
            session_.Interrupt();
    }
    try {
        store_ = TRecordStore::Open(run_.settings_.storeUrl, run_.settings_.workingFolder);
        port_.setUp(session_.Link().Port());
        session_.Link().Port().SetPort(port_.name.toStdString());
        stationLine_ = session_.Link().Line();
        std::optional<TStatusReply> unit;
        while (!run_.ShouldStop() && !PlanDone()) {
            QElapsedTimer clock;
            clock.start();
            if (!unit)
                unit = WaitForUnit();
            if (!unit)
                break;
            const TStatusReply status = *unit;
            unit.reset();
            if (!HandleUnit(status, SecondsSince(clock)) || run_.ShouldStop())
                break;
            unit = WaitUntilGone(QString::fromStdU16String(status.macAddress));
        }
    } catch (const EStoreError& error) {
        run_.events_.StationFailed(port_.name, QStringLiteral("the record store failed: %1").arg(error.Text()));
        const std::lock_guard lock(run_.mutex_);
        ++run_.totals_.stationsFailed;
    }
    session_.Link().Shutdown();
    State(run_.interrupted_ ? QStringLiteral("interrupted") : QStringLiteral("done"));
    const std::lock_guard lock(run_.mutex_);
    std::erase(run_.stations_, this);
}

bool TBatchRun::TStation::PlanDone()
{
    const TPlanProgress progress = store_->Progress(run_.settings_.plan.sha256);
    if (run_.settings_.match == TMatch::Mac)
        return progress.passed >= progress.rows;
    return progress.Unclaimed() <= 0;
}

TBatchRun::TStation::TPortState TBatchRun::TStation::EnsureOpen()
{
    if (session_.Link().Connected())
        return TPortState::Open;
    const std::optional<TOpenFailure> failure = session_.Open();
    if (!failure)
        return TPortState::Open;
    if (failure->reason == TOpenFailureReason::NoSuchPort) {
        // An adapter not plugged in yet, or a name mistyped: either way the operator should see it.
        State(QStringLiteral("waiting for the port %1 to appear").arg(QString::fromStdString(failure->devicePath)));
        return TPortState::Absent;
    }
    run_.events_.StationFailed(port_.name, QStringLiteral("cannot open the port %1: %2")
                                               .arg(port_.name, QString::fromStdString(failure->message)));
    const std::lock_guard lock(run_.mutex_);
    ++run_.totals_.stationsFailed;
    return TPortState::Failed;
}

std::optional<TStatusReply> TBatchRun::TStation::Look()
{
    try {
        return session_.PollStatus(std::max(run_.settings_.pollMs, session_.TimeoutMs()));
    } catch (const ESessionEnded&) {
        // The adapter went away (or the port failed): the unit is not there; look again later.
        session_.Link().Close();
        return std::nullopt;
    }
}

std::optional<TStatusReply> TBatchRun::TStation::WaitForUnit()
{
    unitThere_ = false;
    // Other stations may use the plan up meanwhile: then nobody waits for a unit any longer.
    while (!run_.ShouldStop() && !PlanDone()) {
        QElapsedTimer clock;
        clock.start();
        const TPortState state = EnsureOpen();
        if (state == TPortState::Failed)
            return std::nullopt;
        if (state == TPortState::Open) {
            State(QStringLiteral("waiting for a unit"));
            if (std::optional<TStatusReply> status = Look()) {
                unitThere_ = true;
                return status;
            }
        }
        if (!session_.Pause(std::max<int>(0, run_.settings_.pollMs - static_cast<int>(clock.elapsed()))))
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<TStatusReply> TBatchRun::TStation::WaitUntilGone(const QString& mac)
{
    while (!run_.ShouldStop()) {
        if (!session_.Pause(session_.PollIntervalMs()))
            return std::nullopt;
        if (EnsureOpen() != TPortState::Open)
            return std::nullopt;
        const std::optional<TStatusReply> status = Look();
        if (!status)
            return std::nullopt;
        if (QString::fromStdU16String(status->macAddress) != mac)
            return status;
    }
    return std::nullopt;
}

bool TBatchRun::TStation::HandleUnit(const TStatusReply& status, double readSeconds)
{
    const TBatchSettings& settings = run_.settings_;
    TAttempt attempt;
    attempt.planSha256 = settings.plan.sha256;
    attempt.started = QDateTime::currentDateTime();
    attempt.station = settings.station;
    attempt.processId = ::getpid();
    attempt.operatorName = settings.operatorName;
    attempt.port = port_.recorded;
    attempt.model = QString::fromStdU16String(status.deviceName);
    attempt.mac = QString::fromStdU16String(status.macAddress);
    attempt.firmwareBefore = QString::fromStdU16String(status.version);
    attempt.steps.push_back({QStringLiteral("read status"), readSeconds});

    State(QStringLiteral("reading %1").arg(attempt.mac));
    if (store_->Passed(settings.plan.sha256, attempt.mac)) {
        Tell(QStringLiteral("the unit %1 has passed with this plan already: skipped; take it away").arg(attempt.mac));
        State(QStringLiteral("skipped %1: take it away").arg(attempt.mac));
        return true;
    }
    store_->ReclaimAbandoned(settings.plan.sha256, settings.station, ProcessAlive, settings.claimTimeoutSeconds);
    const std::optional<TClaim> claim =
        settings.match == TMatch::Mac ? store_->ClaimMac(attempt) : store_->ClaimNext(attempt);
    if (!claim) {
        if (settings.match == TMatch::Mac && !PlanHasMac(settings.plan, attempt.mac)) {
            attempt.result = TAttemptResult::Refused;
            attempt.error = QStringLiteral("the MAC %1 is not in the plan; nothing was written").arg(attempt.mac);
            Tell(attempt.error);
            return Record(attempt, false);
        }
        Tell(settings.match == TMatch::Mac
                 ? QStringLiteral("the row of %1 is being commissioned elsewhere: take this unit away").arg(attempt.mac)
                 : QStringLiteral("no free row is left in the plan: take the unit %1 away").arg(attempt.mac));
        State(QStringLiteral("no row for %1: take it away").arg(attempt.mac));
        return true;
    }
    attempt.id = claim->attemptId;
    attempt.planRow = claim->planRow;
    const TPlanRow* row = RowNumbered(settings.plan, claim->planRow);
    attempt.label = row ? row->label : QString();
    try {
        if (row) {
            CommissionUnit(session_, *row, status, attempt, [this](const QString& state) { State(state); });
        } else {
            attempt.result = TAttemptResult::Fail;
            attempt.error = QStringLiteral("the store handed out row %1, which the plan does not have").arg(claim->planRow);
        }
    } catch (const ESessionEnded& ended) {
        attempt.result = TAttemptResult::Fail;
        attempt.error = QStringLiteral("the connection ended: %1").arg(ended.Text());
        session_.Link().Close();
    }
    if (run_.interrupted_ && attempt.result != TAttemptResult::Pass) {
        attempt.result = TAttemptResult::Interrupted;
        if (attempt.error.isEmpty())
            attempt.error = QStringLiteral("interrupted");
    }
    session_.Link().RestoreLine(stationLine_);
    return Record(attempt, true);
}

bool TBatchRun::TStation::Record(TAttempt& attempt, bool claimed)
{
    attempt.ended = QDateTime::currentDateTime();
    if (claimed)
        store_->Finish(attempt);
    else
        attempt.id = store_->RecordUnclaimed(attempt);
    QStringList reports;
    if (run_.writeReports_) {
        try {
            reports = run_.writeReports_(attempt);
        } catch (const std::exception& error) {
            Tell(QStringLiteral("the reports of %1 were not written: %2").arg(UnitName(attempt), QString::fromUtf8(error.what())));
        }
    }
    run_.events_.AttemptEnded(port_.name, attempt, reports);
    run_.Count(attempt);
    const QString result = ResultText(attempt.result);
    if (attempt.result == TAttemptResult::Pass)
        State(QStringLiteral("PASS %1: take it away").arg(UnitName(attempt)));
    else
        State(QStringLiteral("%1 %2: %3").arg(result, UnitName(attempt), attempt.error));
    if (attempt.result == TAttemptResult::Fail && run_.settings_.stopOnFail)
        run_.stop_ = true;
    return true;
}

} // namespace r7730::provision
