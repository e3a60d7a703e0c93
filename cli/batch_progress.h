#pragma once
// What `r7730ctl batch` shows while it runs. Three forms of the same events:
//  - a terminal on standard output: a live table redrawn in place, one line per port (what it
//    does now) and a totals line (pass, fail, remaining, units per hour), with the operator's
//    notes and each unit's result printed above it as they come;
//  - --json: JSON Lines, one event per line, for a script or a line controller; every line of
//    the stream is one JSON document, a failure after the events included;
//  - otherwise (a file, a pipe): each station's state as it changes, the notes and results, as
//    plain lines without redrawing, and the totals line at the end.
// "remaining" is the plan's rows without a PASS as the record store counts them, so stations
// sharing a store show the same. The -v trace (standard error) masks the access point's
// password. The stations call it from their own threads: every event is printed whole under
// one lock.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <map>
#include <mutex>

#include "cli/output.h"
#include "device/log_line_secrets.h"
#include "provision/batch_run.h"

namespace r7730::cli {

class TBatchProgress : public provision::IBatchEvents {
public:
    enum class TForm { LiveTable, JsonLines, PlainLines };

    // rowsLeft: the plan's rows without a PASS when the run begins. The JSON Lines go through
    // output, which then prints a failure as one line too.
    TBatchProgress(TForm form, TOutput& output, const QStringList& ports, int rowsLeft, bool verbose);

    // The plan's rows without a PASS, counted again in the store (by every station sharing it).
    void RowsLeft(int rows);
    // A unit whose reports could not be written: the run ends with exit code 1.
    void ReportsNotWritten();
    bool AnyReportsNotWritten() const;

    void StateChanged(const QString& port, const QString& state) override;
    void Told(const QString& port, const QString& text) override;
    void AttemptEnded(const QString& port, const provision::TAttempt& attempt, const QStringList& reports) override;
    void StationFailed(const QString& port, const QString& text) override;
    void LogLine(const QString& port, const QString& line) override;

    // The last event: the totals and the exit code.
    void Finished(const provision::TBatchTotals& totals, int exitCode);

private:
    // A line above the live table (or a plain line); the table is drawn again below it.
    void Print(const QString& line);
    void Event(const QJsonObject& event);
    void Redraw();
    QString TotalsLine() const;

    TForm form_;
    TOutput& output_;
    bool verbose_;
    QStringList ports_;
    std::map<QString, QString> states_;
    std::map<QString, TLogLineMask> masks_; // each port's trace, in its order
    int rowsLeft_;
    int reportsNotWritten_ = 0;
    int passed_ = 0;
    int notPassed_ = 0;
    int drawnLines_ = 0;
    QElapsedTimer clock_;
    mutable std::mutex mutex_;
};

} // namespace r7730::cli
