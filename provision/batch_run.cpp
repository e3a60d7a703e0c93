// The production line: one station per port, each in its own thread (see batch_run.h).
#include "provision/batch_run.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

#include "provision/batch_station.h"

namespace r7730::provision {


TBatchRun::TBatchRun(TBatchSettings settings, std::vector<TBatchPort> ports, IBatchEvents& events,
                     TReportWriter writeReports)
    : settings_(std::move(settings)), ports_(std::move(ports)), events_(events), writeReports_(std::move(writeReports))
{
}

TBatchRun::~TBatchRun() = default;

TBatchTotals TBatchRun::Run()
{
    {
        // The plan is registered, and claims of dead holders taken back, before any unit comes.
        const std::unique_ptr<TRecordStore> store = TRecordStore::Open(settings_.storeUrl, settings_.workingFolder);
        store->RegisterPlan(settings_.plan);
        store->ReclaimAbandoned(settings_.plan.sha256, settings_.station, ProcessAlive, settings_.claimTimeoutSeconds);
    }
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
    const std::lock_guard lock(mutex_);
    totals_.interrupted = interrupted_;
    return totals_;
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
