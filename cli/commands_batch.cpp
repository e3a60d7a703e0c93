// The production line from the command line: batch (a plan applied to unit after unit) and
// records (the record store read out).
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <unistd.h>

#include "cli/batch_progress.h"
#include "cli/commands.h"
#include "cli/session_wording.h"
#include "cli/failure.h"
#include "cli/unit_report.h"
#include "provision/attempts_csv.h"
#include "provision/commissioning_report.h"
#include "provision/plan_file.h"
#include "provision/record_store.h"
#include "provision/record_store_location.h"
#include "shell/termination_signals.h"

namespace r7730::cli {
namespace {

using namespace r7730::provision;

constexpr int kExitInterrupted = 130;

TPlan CheckedPlan(const TInvocation& invocation)
{
    TPlan plan;
    try {
        plan = ReadPlanFile(invocation.file);
    } catch (const EPlanError& error) {
        throw TCliFailure(kExitRefused, QStringLiteral("%1; nothing was opened or sent").arg(error.Text()));
    }
    const std::vector<TPlanProblem> problems = CheckPlan(plan, invocation.batch.match == "mac", invocation.forceMask);
    if (!problems.empty()) {
        QStringList lines;
        for (const TPlanProblem& problem : problems)
            lines << ProblemText(invocation.file, problem);
        throw TCliFailure(kExitRefused, QStringLiteral("the plan is refused, nothing was opened or sent (%1 %2):\n  %3")
                                            .arg(problems.size())
                                            .arg(problems.size() == 1 ? "problem" : "problems", lines.join("\n  ")));
    }
    return plan;
}

int PlanSummary(const TInvocation& invocation, const TPlan& plan, TOutput& output)
{
    QJsonArray rows;
    QList<QStringList> table{{"row", "label", "mac", "changes"}};
    for (const TPlanRow& row : plan.rows) {
        table << QStringList{QString::number(row.number), row.label, row.mac, RowChangesText(row)};
        rows.append(QJsonObject{{"row", row.number}, {"label", row.label}, {"mac", row.mac}, {"changes", RowChangesText(row)}});
    }
    output.Line(QStringLiteral("%1: a good plan of %2 rows (%3), columns %4").arg(invocation.file).arg(plan.rows.size()).arg(plan.encoding, plan.columns.join(", ")));
    output.Table(table);
    output.SetDocument(QJsonObject{{"plan", invocation.file},
                                   {"sha256", QString::fromLatin1(plan.sha256)},
                                   {"encoding", plan.encoding},
                                   {"columns", QJsonArray::fromStringList(plan.columns)},
                                   {"rows", rows}});
    return kExitDone;
}

// Said whether or not standard error is a terminal: a warning must not pass unseen.
void Warn(const QString& text)
{
    std::fputs(QStringLiteral("r7730ctl: warning: %1\n").arg(text).toUtf8().constData(), stderr);
}

// The rows of the plan that other plans of the store have passed, as lines; the plan's own file
// in an earlier version refuses the run (unless reissued), others only warn.
QStringList OverlapLines(const std::vector<TPlanOverlap>& overlaps, bool samePath)
{
    QStringList lines;
    for (const TPlanOverlap& overlap : overlaps)
        if (overlap.samePath == samePath)
            lines << QStringLiteral("row %1: %2 passed as row %3 of %4")
                         .arg(overlap.row)
                         .arg(overlap.what)
                         .arg(overlap.otherRow)
                         .arg(overlap.otherPath);
    return lines;
}

// Warns of what other plans in the store have passed and refuses what an earlier version of this
// plan's file has passed, unless reissued; a check (refuse false) only warns of both.
void CheckOverlaps(TRecordStore& store, const TPlan& plan, bool refuse, bool reissue)
{
    const std::vector<TPlanOverlap> overlaps = store.Overlaps(plan);
    const QStringList others = OverlapLines(overlaps, false);
    if (!others.isEmpty())
        Warn(QStringLiteral("other plans in the store have passed what this plan gives again:\n  %1").arg(others.join("\n  ")));
    const QStringList earlier = OverlapLines(overlaps, true);
    if (earlier.isEmpty())
        return;
    const QString what = QStringLiteral("an earlier version of this plan file has passed what it gives again, so two "
                                        "units would get one address or label");
    if (!refuse || reissue) {
        Warn(QStringLiteral("%1%2:\n  %3").arg(what, reissue ? QStringLiteral(" (reissued)") : QString(), earlier.join("\n  ")));
        return;
    }
    throw TCliFailure(kExitRefused, QStringLiteral("%1; nothing was opened or sent (--reissue commissions them again):\n  %2")
                                        .arg(what, earlier.join("\n  ")));
}

// A store the person named that no store can be at (an unknown scheme, a folder, a port out of
// range) is a usage error, found before anything opens.
TStoreLocation CheckedStoreLocation(const QString& url)
{
    try {
        return StoreLocation(url, QDir::currentPath());
    } catch (const EStoreError& error) {
        throw TCliFailure(kExitRefused, error.Text());
    }
}

[[noreturn]] void StoreUnusable(const EStoreError& error)
{
    throw TCliFailure(kExitDevice, QStringLiteral("the record store cannot be used: %1").arg(error.Text()));
}

int RowsLeft(TRecordStore& store, const QByteArray& planSha256)
{
    const TPlanProgress progress = store.Progress(planSha256);
    return progress.rows - progress.passed;
}

// The writer that tells progress about a unit whose reports were not written, for the exit code.
TReportWriter CountingFailures(TReportWriter write, TBatchProgress& progress)
{
    return [write = std::move(write), &progress](const TAttempt& attempt) {
        try {
            return write(attempt);
        } catch (const std::exception&) {
            progress.ReportsNotWritten();
            throw;
        }
    };
}

int ExitCode(const TBatchTotals& totals, bool reportsNotWritten)
{
    if (totals.interrupted)
        return kExitInterrupted;
    if (totals.stationsFailed > 0 || reportsNotWritten)
        return kExitDevice;
    return totals.notPassed > 0 ? kExitMismatch : kExitDone;
}

} // namespace

int BatchCommand(const TInvocation& invocation, TOutput& output)
{
    const TBatchInvocation& options = invocation.batch;
    if (!options.check)
        output.UseJsonLines();
    TPlan plan = CheckedPlan(invocation);
    // Versions of one file are known by where it lies, whatever the working folder.
    const QFileInfo planFile(invocation.file);
    plan.path = planFile.canonicalFilePath().isEmpty() ? planFile.absoluteFilePath() : planFile.canonicalFilePath();
    if (options.check) {
        try {
            if (StoreExists(CheckedStoreLocation(options.store)))
                CheckOverlaps(*TRecordStore::Open(options.store, QDir::currentPath()), plan, false, false);
        } catch (const EStoreError& error) {
            output.Progress(QStringLiteral("the record store cannot be read, so the plan is not checked against it: %1")
                                .arg(error.Text()));
        }
        return PlanSummary(invocation, plan, output);
    }
    CheckedStoreLocation(options.store); // before any port or store opens

    const TSettingsFile settingsFile = FindSettingsFile();
    QStringList portNames = invocation.portNames;
    if (portNames.isEmpty()) {
        TComPort probe;
        if (!SetUpPort(probe, settingsFile))
            NoPortNamed(settingsFile);
        portNames << QString::fromStdString(probe.Port());
    }
    std::vector<TBatchPort> ports;
    for (const QString& name : portNames)
        ports.push_back({name, RecordedPortName(name), [settingsFile](TComPort& port) { SetUpPort(port, settingsFile); }});

    TBatchSettings settings;
    settings.match = options.match == "mac" ? TMatch::Mac : TMatch::Next;
    settings.storeUrl = options.store;
    settings.workingFolder = QDir::currentPath();
    settings.operatorName = options.operatorName.isEmpty() ? QString::fromLocal8Bit(qgetenv("USER")) : options.operatorName;
    settings.station = QSysInfo::machineHostName();
    settings.stopOnFail = options.stopOnFail;
    settings.timeoutMs = invocation.timeoutMs;
    settings.claimTimeoutSeconds = options.claimTimeoutSeconds;
    settings.reissue = options.reissue;

    QString reportFolder = options.reportDir;
    int passedBefore = 0;
    // Kept open in this thread: the totals line's "remaining" is read from it while the run goes.
    std::unique_ptr<TRecordStore> store;
    try {
        store = TRecordStore::Open(settings.storeUrl, settings.workingFolder);
        CheckOverlaps(*store, plan, true, options.reissue);
        store->RegisterPlan(plan);
        passedBefore = store->Progress(plan.sha256).passed;
        if (reportFolder.isEmpty())
            reportFolder = store->DefaultReportFolder();
        output.Progress(QStringLiteral("plan %1 (%2 rows, %3 passed before), store %4, reports in %5")
                            .arg(invocation.file)
                            .arg(plan.rows.size())
                            .arg(passedBefore)
                            .arg(store->Description(), reportFolder));
    } catch (const EStoreError& error) {
        StoreUnusable(error);
    }
    // A line should learn that its reports cannot be written before its first unit, not after.
    try {
        MakeReportFolder(reportFolder);
    } catch (const EReportError& error) {
        throw TCliFailure(kExitDevice, QStringLiteral("%1; no port was opened").arg(error.Text()));
    }

    const QByteArray planSha256 = plan.sha256;
    const int rows = static_cast<int>(plan.rows.size());
    settings.plan = std::move(plan);
    settings.journalPath = QDir(reportFolder).filePath(QStringLiteral("journal.jsonl"));
    const TBatchProgress::TForm form = invocation.json                ? TBatchProgress::TForm::JsonLines
                                       : ::isatty(STDOUT_FILENO) == 1 ? TBatchProgress::TForm::LiveTable
                                                                      : TBatchProgress::TForm::PlainLines;
    TBatchProgress progress(form, output, portNames, rows - passedBefore, invocation.verbose);
    TBatchRun run(std::move(settings), std::move(ports), progress,
                  CountingFailures(ReportWriter(reportFolder, options.pdf), progress));
    // Other stations may share the store: their units count in "remaining" too.
    const auto countRowsLeft = [&] {
        try {
            progress.RowsLeft(RowsLeft(*store, planSha256));
        } catch (const std::exception&) {
            // A store that does not answer now leaves the last count shown; the stations say why.
        }
    };
    QTimer rowsLeftTimer;
    QObject::connect(&rowsLeftTimer, &QTimer::timeout, countRowsLeft);
    rowsLeftTimer.start(1000);
    TBatchTotals totals;
    {
        const TTerminationSignals interruptible([&run] { run.Interrupt(); });
        try {
            totals = run.Run();
        } catch (const EStoreError& error) {
            StoreUnusable(error);
        }
    }
    rowsLeftTimer.stop();
    countRowsLeft();
    const int code = ExitCode(totals, progress.AnyReportsNotWritten());
    progress.Finished(totals, code);
    return code;
}

namespace {

int ReleaseCommand(const TInvocation& invocation, TOutput& output)
{
    const QString& label = invocation.batch.release;
    std::vector<TRowHold> released;
    try {
        const QString user = QString::fromLocal8Bit(qgetenv("USER"));
        released = TRecordStore::Open(invocation.batch.store, QDir::currentPath())
                       ->Release(label, QStringLiteral("%1 on %2").arg(user.isEmpty() ? QStringLiteral("?") : user,
                                                                       QSysInfo::machineHostName()));
    } catch (const EStoreError& error) {
        StoreUnusable(error);
    }
    if (released.empty())
        throw TCliFailure(kExitRefused, QStringLiteral("no row labelled %1 is reserved or held; nothing was changed").arg(label));
    QJsonArray json;
    for (const TRowHold& hold : released) {
        const QString was = hold.kind == TRowHold::TKind::Held ? QStringLiteral("held")
                                                               : QStringLiteral("reserved for %1").arg(hold.mac);
        output.Line(QStringLiteral("released row %1 (%2) of plan %3, %4 before")
                        .arg(hold.planRow)
                        .arg(hold.label, QString::fromLatin1(hold.planSha256.left(12)), was));
        json.append(QJsonObject{{"plan_sha256", QString::fromLatin1(hold.planSha256)},
                                {"plan_row", hold.planRow},
                                {"label", hold.label},
                                {"was", was}});
    }
    output.SetDocument(json);
    return kExitDone;
}

} // namespace

int RecordsCommand(const TInvocation& invocation, TOutput& output)
{
    // Reading never makes a store: a mistyped name would show an empty record.
    const TStoreLocation location = CheckedStoreLocation(invocation.batch.store);
    if (!StoreExists(location))
        throw TCliFailure(kExitRefused, QStringLiteral("there is no record store %1: give --store with the store "
                                                       "of a batch run")
                                            .arg(location.shown));
    if (!invocation.batch.release.isEmpty())
        return ReleaseCommand(invocation, output);
    std::vector<TAttempt> attempts;
    try {
        attempts = TRecordStore::Open(invocation.batch.store, QDir::currentPath())->Attempts();
    } catch (const EStoreError& error) {
        StoreUnusable(error);
    }
    if (invocation.batch.csv) {
        std::fputs(AttemptsCsv(attempts).toUtf8().constData(), stdout);
        return kExitDone;
    }
    QJsonArray json;
    QList<QStringList> table{{"id", "started", "result", "row", "label", "mac", "port", "station", "error"}};
    for (const TAttempt& attempt : attempts) {
        json.append(AttemptJson(attempt));
        table << QStringList{QString::number(attempt.id),
                             attempt.started.toString(Qt::ISODate),
                             ResultText(attempt.result),
                             attempt.planRow > 0 ? QString::number(attempt.planRow) : QString(),
                             attempt.label,
                             attempt.mac,
                             attempt.port,
                             attempt.station,
                             attempt.error};
    }
    output.Table(table);
    output.SetDocument(json);
    return kExitDone;
}

} // namespace r7730::cli
