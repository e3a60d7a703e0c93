// The production line: one station per port, each in its own thread (see batch_run.h).
#include "provision/batch_run.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

#include "provision/batch_station.h"
#include "provision/record_store.h"

namespace r7730::provision {


TBatchRun::TBatchRun(TBatchSettings settings, std::vector<TBatchPort> ports, IBatchEvents& events,
                     TReportWriter writeReports)
    : settings_(std::move(settings)), ports_(std::move(ports)), events_(events), writeReports_(std::move(writeReports))
{
}

TBatchRun::~TBatchRun() = default;

TBatchTotals TBatchRun::Run()
{
    // The plan is registered before any unit comes; each station records the journal and takes
    // back the claims of dead holders before its first claim.
    TRecordStore::Open(settings_.storeUrl, settings_.workingFolder)->RegisterPlan(settings_.plan);
    QEventLoop loop;
    std::size_t running = ports_.size();
    std::vector<std::unique_ptr<QThread>> threads;
    for (const TBatchPort& port : ports_) {
        threads.emplace_back(QThread::create([this, port] { TStation(*this, port).Run(); }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (--running == 0)
                loop.quit();
        });
        threads.back()->start();
    }
    if (running > 0)
        loop.exec();
    for (const auto& thread : threads)
        thread->wait();
    TellRowsLeft();
    const std::lock_guard lock(mutex_);
    totals_.interrupted = interrupted_;
    return totals_;
}

void TBatchRun::TellRowsLeft()
{
    const QString teller = QStringLiteral("record store");
    try {
        const std::unique_ptr<TRecordStore> store = TRecordStore::Open(settings_.storeUrl, settings_.workingFolder);
        for (const TTakenBack& takenBack :
             store->ReclaimAbandoned(settings_.plan.sha256, settings_.station, ProcessAlive, settings_.claimTimeoutSeconds))
            events_.Told(teller, QStringLiteral("row %1 (%2) was still claimed by a station that is gone: taken back%3 (%4)")
                                     .arg(takenBack.planRow)
                                     .arg(takenBack.label,
                                          takenBack.reserved ? QStringLiteral(", reserved for its unit") : QString(),
                                          takenBack.why));
        for (const TRowHold& hold : store->Holds(settings_.plan.sha256))
            events_.Told(teller, hold.kind == TRowHold::TKind::Held
                                     ? QStringLiteral("row %1 (%2) is held after failing on two units: the engineer "
                                                      "should look at it, then release it")
                                           .arg(hold.planRow)
                                           .arg(hold.label)
                                     : QStringLiteral("row %1 (%2) is reserved for the unit %3, which may hold its values, "
                                                      "until it passes or the row is released")
                                           .arg(hold.planRow)
                                           .arg(hold.label, hold.mac));
    } catch (const EStoreError& error) {
        events_.Told(teller, QStringLiteral("the rows left cannot be read: %1").arg(error.Text()));
    }
}

void TBatchRun::Interrupt()
{
    const std::lock_guard lock(mutex_);
    interrupted_ = true;
    for (TStation* station : stations_)
        station->Interrupt();
}

void TBatchRun::Count(const TAttempt& attempt)
{
    const std::lock_guard lock(mutex_);
    if (attempt.result == TAttemptResult::Pass)
        ++totals_.passed;
    else
        ++totals_.notPassed;
}

QString RecordedPortName(const QString& name, const QString& byIdFolder)
{
    const QString device = QFileInfo(name).canonicalFilePath();
    if (device.isEmpty())
        return name;
    QDirIterator links(byIdFolder, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    while (links.hasNext()) {
        const QString link = links.next();
        if (QFileInfo(link).canonicalFilePath() == device)
            return link;
    }
    return QFileInfo(name).absoluteFilePath();
}


} // namespace r7730::provision
