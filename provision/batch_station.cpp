// A station of the production line: wait for a unit, commission it, record it, wait for it to
// go (see batch_station.h).
#include "provision/batch_station.h"

#include <QElapsedTimer>
#include <cerrno>
#include <csignal>
#include <exception>
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

QString WhatOf(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& known) {
        return QString::fromUtf8(known.what());
    } catch (...) {
        return QStringLiteral("an error of unknown kind");
    }
}

QString RowName(int number, const QString& label)
{
    return label.isEmpty() ? QStringLiteral("row %1").arg(number) : QStringLiteral("row %1 (%2)").arg(number).arg(label);
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
    // The one guard of the station's thread: nothing leaves it.
    try {
        port_.setUp(session_.Link().Port());
        session_.Link().Port().SetPort(port_.name.toStdString());
        stationLine_ = session_.Link().Line();
        Serve();
    } catch (...) {
        Unexpected(WhatOf(std::current_exception()));
    }
    try {
        session_.Link().Shutdown();
    } catch (...) {
        // the port is gone already
    }
    State(run_.interrupted_ ? QStringLiteral("interrupted") : QStringLiteral("done"));
    const std::lock_guard lock(run_.mutex_);
    std::erase(run_.stations_, this);
}

void TBatchRun::TStation::Unexpected(const QString& what)
{
    run_.events_.StationFailed(port_.name, QStringLiteral("the station failed: %1").arg(what));
    const std::lock_guard lock(run_.mutex_);
    ++run_.totals_.stationsFailed;
}

void TBatchRun::TStation::Serve()
{
    std::optional<TStatusReply> unit;
    while (!run_.ShouldStop() && !portFailed_) {
        if (!EnsureStore()) {
            if (!Pause(run_.settings_.pollMs))
                break;
            continue;
        }
        try {
            QElapsedTimer clock;
            clock.start();
            if (PlanDone(unit))
                break;
            if (!unit)
                unit = WaitForUnit();
            if (!unit)
                continue;
            const TStatusReply status = *unit;
            unit.reset();
            HandleUnit(status, SecondsSince(clock));
            if (run_.ShouldStop())
                break;
            unit = WaitUntilGone(QString::fromStdU16String(status.macAddress));
        } catch (const EStoreRefusal&) {
            throw; // the store answered with something this station cannot go on from
        } catch (const EStoreError& error) {
            StoreAway(error.Text());
        }
    }
}

bool TBatchRun::TStation::EnsureStore()
{
    if (store_)
        return true;
    try {
        store_ = TRecordStore::Open(run_.settings_.storeUrl, run_.settings_.workingFolder);
        store_->SetReissue(run_.settings_.reissue);
    } catch (const EStoreError& error) {
        StoreAway(error.Text());
        return false;
    }
    // What ended while the store was away goes in before any new claim.
    try {
        const int recorded = journal_.Replay([this](const TAttempt& ended) {
            TAttempt attempt = ended;
            return Store(attempt, attempt.id > 0);
        });
        if (recorded > 0)
            Tell(QStringLiteral("%1 %2 of the journal %3 recorded in the store")
                     .arg(recorded)
                     .arg(recorded == 1 ? "attempt" : "attempts", journal_.Path()));
    } catch (const EJournalError& error) {
        Tell(QStringLiteral("%1 Its attempts are not recorded yet.").arg(error.Text()));
    }
    if (!store_)
        return false;
    if (!storeAway_.isEmpty()) {
        storeAway_.clear();
        Tell(QStringLiteral("the record store answers again"));
    }
    // The claims of stations gone meanwhile count as rows left only once taken back.
    try {
        TakeBackAbandoned();
    } catch (const EStoreError& error) {
        StoreAway(error.Text());
        return false;
    }
    return true;
}

void TBatchRun::TStation::StoreAway(const QString& why)
{
    store_.reset();
    if (storeAway_.isEmpty())
        Tell(QStringLiteral("the record store is away: %1").arg(why));
    storeAway_ = why;
    State(QStringLiteral("the record store is away: no new unit is taken until it answers"));
}

bool TBatchRun::TStation::PlanDone(std::optional<TStatusReply>& unit)
{
    const TPlanProgress progress = store_->Progress(run_.settings_.plan.sha256);
    // A held row waits for the engineer, not for units.
    if (run_.settings_.match == TMatch::Mac)
        return progress.passed + progress.held >= progress.rows;
    if (progress.Free() > 0)
        return false;
    // A reserved row waits for its own unit: the station goes on only while that unit is here,
    // or comes within a reboot's wait (it may be restarting after the write that reserved it).
    if (progress.reserved == 0)
        return true;
    if (!unit) {
        Tell(QStringLiteral("only rows reserved for their units are left: waiting up to %1 s for one of them")
                  .arg(session_.RebootWaitMs() / 1000.0));
        QElapsedTimer waited;
        waited.start();
        while (!unit && !run_.ShouldStop() && !portFailed_ && waited.elapsed() < session_.RebootWaitMs())
            unit = WaitForUnit();
    }
    if (!unit)
        return true;
    const QString mac = QString::fromStdU16String(unit->macAddress);
    for (const TRowHold& hold : store_->Holds(run_.settings_.plan.sha256))
        if (hold.kind == TRowHold::TKind::Reserved && hold.mac.compare(mac, Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

void TBatchRun::TStation::TakeBackAbandoned()
{
    const TBatchSettings& settings = run_.settings_;
    for (const TTakenBack& takenBack :
         store_->ReclaimAbandoned(settings.plan.sha256, settings.station, ProcessAlive, settings.claimTimeoutSeconds))
        Tell(QStringLiteral("%1 was taken back from its holder%2: %3")
                 .arg(RowName(takenBack.planRow, takenBack.label),
                      takenBack.reserved ? QStringLiteral(" and is reserved for its unit") : QString(), takenBack.why));
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
    portFailed_ = true;
    return TPortState::Failed;
}

bool TBatchRun::TStation::Pause(int ms)
{
    try {
        return session_.Pause(ms);
    } catch (const ESessionEnded&) {
        // The adapter went away while nobody was there: look for it again after the pause.
        session_.Link().Close();
        return session_.Pause(ms);
    }
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
    // Back to the loop, which sees other stations using the plan up meanwhile, or the store go.
    Pause(std::max<int>(0, run_.settings_.pollMs - static_cast<int>(clock.elapsed())));
    return std::nullopt;
}

std::optional<TStatusReply> TBatchRun::TStation::WaitUntilGone(const QString& mac)
{
    while (!run_.ShouldStop()) {
        if (!Pause(session_.PollIntervalMs()))
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

void TBatchRun::TStation::HandleUnit(const TStatusReply& status, double readSeconds)
{
    const TBatchSettings& settings = run_.settings_;
    TAttempt attempt;
    attempt.planSha256 = settings.plan.sha256;
    attempt.started = store_->Now();
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
        return;
    }
    if (!settings.reissue) {
        if (const std::optional<QString> passed = store_->PassedAnywhere(attempt.mac)) {
            attempt.result = TAttemptResult::Refused;
            attempt.error = QStringLiteral("the unit %1 has passed as %2 already; nothing was written (reissuing "
                                           "commissions it again)")
                                .arg(attempt.mac, *passed);
            Tell(attempt.error);
            Record(attempt, false);
            return;
        }
    }
    TakeBackAbandoned();
    TellHolds(attempt.mac);
    const std::optional<TClaim> claim =
        settings.match == TMatch::Mac ? store_->ClaimMac(attempt) : store_->ClaimNext(attempt);
    if (!claim) {
        if (settings.match == TMatch::Mac && !PlanHasMac(settings.plan, attempt.mac)) {
            attempt.result = TAttemptResult::Refused;
            attempt.error = QStringLiteral("the MAC %1 is not in the plan; nothing was written").arg(attempt.mac);
            Tell(attempt.error);
            Record(attempt, false);
            return;
        }
        Tell(settings.match == TMatch::Mac
                 ? QStringLiteral("the row of %1 is being commissioned elsewhere or held: take this unit away").arg(attempt.mac)
                 : QStringLiteral("no free row is left in the plan: take the unit %1 away").arg(attempt.mac));
        State(QStringLiteral("no row for %1: take it away").arg(attempt.mac));
        return;
    }
    attempt.id = claim->attemptId;
    attempt.planRow = claim->planRow;
    const TPlanRow* row = RowNumbered(settings.plan, claim->planRow);
    attempt.label = row ? row->label : QString();
    try {
        Commission(row, status, attempt);
    } catch (...) {
        // The station's guard ends the station; its unit is recorded first.
        attempt.result = TAttemptResult::Fail;
        attempt.error = QStringLiteral("the station failed: %1").arg(WhatOf(std::current_exception()));
        Record(attempt, true);
        throw;
    }
    if (run_.interrupted_ && attempt.result != TAttemptResult::Pass) {
        attempt.result = TAttemptResult::Interrupted;
        if (attempt.error.isEmpty())
            attempt.error = QStringLiteral("interrupted");
    }
    if (session_.Link().Port().Connected())
        session_.Link().RestoreLine(stationLine_);
    Record(attempt, true);
}

void TBatchRun::TStation::TellHolds(const QString& mac)
{
    for (const TRowHold& hold : store_->Holds(run_.settings_.plan.sha256)) {
        if (hold.kind == TRowHold::TKind::Held)
            Tell(QStringLiteral("%1 failed on two units and is held: the engineer should look at it, then release it")
                     .arg(RowName(hold.planRow, hold.label)));
        else if (hold.mac.compare(mac, Qt::CaseInsensitive) != 0)
            Tell(QStringLiteral("%1 is reserved for the unit %2, which may hold its values: it goes to no other unit "
                                "until that one passes or the row is released")
                     .arg(RowName(hold.planRow, hold.label), hold.mac));
    }
}

void TBatchRun::TStation::Commission(const TPlanRow* row, const TStatusReply& status, TAttempt& attempt)
{
    if (!row) {
        attempt.result = TAttemptResult::Fail;
        attempt.error = QStringLiteral("the store handed out row %1, which the plan does not have").arg(attempt.planRow);
        return;
    }
    // Before the first write the store learns that the unit may hold the row's values from now.
    const auto mayWrite = [this, &attempt]() -> QString {
        try {
            store_->MarkWriting(attempt.id);
            return {};
        } catch (const EStoreRefusal& refusal) {
            return QStringLiteral("its claim is gone (%1)").arg(refusal.Text());
        } catch (const EStoreError& error) {
            StoreAway(error.Text());
            return QStringLiteral("the record store is away");
        }
    };
    try {
        CommissionUnit(session_, *row, status, attempt, [this](const QString& state) { State(state); }, mayWrite);
    } catch (const ESessionEnded& ended) {
        if (attempt.result == TAttemptResult::InProgress) {
            attempt.result = TAttemptResult::Fail;
            attempt.error = QStringLiteral("the connection ended: %1").arg(ended.Text());
        }
        session_.Link().Close(); // the station waits for its port again
    }
}

void TBatchRun::TStation::Record(TAttempt& attempt, bool claimed)
{
    try {
        attempt.ended = store_ ? store_->Now() : QDateTime::currentDateTime();
    } catch (const EStoreError& error) {
        attempt.ended = QDateTime::currentDateTime();
        StoreAway(error.Text());
    }
    QString key;
    try {
        key = journal_.Append(attempt);
    } catch (const EJournalError& error) {
        Tell(QStringLiteral("%1 The attempt of %2 goes to the store only.").arg(error.Text(), UnitName(attempt)));
    }
    if (store_ && Store(attempt, claimed)) {
        try {
            journal_.MarkRecorded(key);
        } catch (const EJournalError& error) {
            Tell(error.Text());
        }
    } else {
        Tell(key.isEmpty() ? QStringLiteral("the attempt of %1 is not in the record store; its reports keep it").arg(UnitName(attempt))
                           : QStringLiteral("the attempt of %1 is kept in the journal %2 and recorded when the store answers")
                                 .arg(UnitName(attempt), journal_.Path()));
    }
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
}

bool TBatchRun::TStation::Store(TAttempt& attempt, bool claimed)
{
    if (!store_)
        return false;
    try {
        if (claimed)
            store_->Finish(attempt);
        else
            attempt.id = store_->RecordUnclaimed(attempt);
        return true;
    } catch (const EStoreRefusal& refusal) {
        // Asking again changes nothing: said, and the journal goes on.
        Tell(QStringLiteral("the record of %1: %2").arg(UnitName(attempt), refusal.Text()));
        return true;
    } catch (const EStoreError& error) {
        StoreAway(error.Text());
        return false;
    }
}

} // namespace r7730::provision
