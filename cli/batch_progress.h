#pragma once
// What `r7730ctl batch` shows while it runs. Three forms of the same events:
//  - a terminal on standard output: a live table redrawn in place, one line per port (what it
//    does now) and a totals line (pass, fail, remaining, units per hour), with the operator's
//    notes and each unit's result printed above it as they come;
//  - --json: JSON Lines, one event per line, for a script or a line controller;
//  - otherwise (a file, a pipe): the notes and results as plain lines, without redrawing.
// The stations call it from their own threads: every event is printed whole under one lock.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <map>
#include <mutex>

#include "provision/batch_run.h"

namespace r7730::cli {

class TBatchProgress : public provision::IBatchEvents {
public:
    enum class TForm { LiveTable, JsonLines, PlainLines };

    // rows: the plan's rows; passedBefore: rows with a PASS before this run (a resumed plan).
    TBatchProgress(TForm form, const QStringList& ports, int rows, int passedBefore, bool verbose);

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
    bool verbose_;
    QStringList ports_;
    std::map<QString, QString> states_;
    int rows_;
    int passedBefore_;
    int passed_ = 0;
    int notPassed_ = 0;
    int drawnLines_ = 0;
    QElapsedTimer clock_;
    std::mutex mutex_;
};

} // namespace r7730::cli
