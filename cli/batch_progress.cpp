// The live table, JSON Lines or plain lines of a batch run (see batch_progress.h).
#include "cli/batch_progress.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>

namespace r7730::cli {
namespace {

void Write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString UnitName(const provision::TAttempt& attempt)
{
    return attempt.label.isEmpty() ? attempt.mac : QStringLiteral("%1 (%2)").arg(attempt.label, attempt.mac);
}

} // namespace

TBatchProgress::TBatchProgress(TForm form, TOutput& output, const QStringList& ports, int rowsLeft, bool verbose)
    : form_(form), output_(output), verbose_(verbose), ports_(ports), rowsLeft_(rowsLeft)
{
    clock_.start();
    for (const QString& port : ports_)
        states_[port] = QStringLiteral("starting");
    const std::lock_guard lock(mutex_);
    Redraw();
}

void TBatchProgress::StateChanged(const QString& port, const QString& state)
{
    const std::lock_guard lock(mutex_);
    states_[port] = state;
    switch (form_) {
    case TForm::JsonLines: Event({{"event", "state"}, {"port", port}, {"state", state}}); break;
    case TForm::PlainLines: Print(QStringLiteral("%1: %2").arg(port, state)); break;
    case TForm::LiveTable: Redraw(); break;
    }
}

void TBatchProgress::RowsLeft(int rows)
{
    const std::lock_guard lock(mutex_);
    if (rows == rowsLeft_)
        return;
    rowsLeft_ = rows;
    Redraw();
}

void TBatchProgress::ReportsNotWritten()
{
    const std::lock_guard lock(mutex_);
    ++reportsNotWritten_;
}

bool TBatchProgress::AnyReportsNotWritten() const
{
    const std::lock_guard lock(mutex_);
    return reportsNotWritten_ > 0;
}

void TBatchProgress::Told(const QString& port, const QString& text)
{
    const std::lock_guard lock(mutex_);
    if (form_ == TForm::JsonLines)
        Event({{"event", "note"}, {"port", port}, {"text", text}});
    else
        Print(QStringLiteral("%1: %2").arg(port, text));
}

void TBatchProgress::AttemptEnded(const QString& port, const provision::TAttempt& attempt, const QStringList& reports)
{
    const std::lock_guard lock(mutex_);
    if (attempt.result == provision::TAttemptResult::Pass)
        ++passed_;
    else
        ++notPassed_;
    const QString result = provision::ResultText(attempt.result);
    if (form_ == TForm::JsonLines) {
        QJsonObject event{{"event", "attempt"},   {"port", port},       {"attempt", attempt.id},
                          {"row", attempt.planRow}, {"label", attempt.label}, {"mac", attempt.mac},
                          {"result", result},       {"firmware", attempt.firmwareAfter},
                          {"differs", QJsonArray::fromStringList(attempt.differs)},
                          {"reports", QJsonArray::fromStringList(reports)}};
        if (!attempt.error.isEmpty())
            event.insert("error", attempt.error);
        Event(event);
        return;
    }
    QString line = QStringLiteral("%1: %2 %3").arg(port, result, UnitName(attempt));
    if (attempt.planRow > 0)
        line += QStringLiteral(", row %1").arg(attempt.planRow);
    if (!attempt.error.isEmpty())
        line += QStringLiteral(": %1").arg(attempt.error);
    Print(line);
}

void TBatchProgress::StationFailed(const QString& port, const QString& text)
{
    const std::lock_guard lock(mutex_);
    states_[port] = QStringLiteral("stopped: %1").arg(text);
    if (form_ == TForm::JsonLines)
        Event({{"event", "station-failed"}, {"port", port}, {"text", text}});
    else
        Print(QStringLiteral("%1: %2").arg(port, text));
}

void TBatchProgress::LogLine(const QString& port, const QString& line)
{
    if (!verbose_)
        return;
    const std::lock_guard lock(mutex_);
    Write(stderr, QStringLiteral("%1 %2 %3\n").arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")), port,
                                                   masks_[port].Masked(line)));
}

void TBatchProgress::Finished(const provision::TBatchTotals& totals, int exitCode)
{
    const std::lock_guard lock(mutex_);
    if (form_ == TForm::JsonLines) {
        Event({{"event", "finished"},
               {"passed", totals.passed},
               {"not_passed", totals.notPassed},
               {"remaining", rowsLeft_},
               {"stations_failed", totals.stationsFailed},
               {"reports_not_written", reportsNotWritten_},
               {"interrupted", totals.interrupted},
               {"exit", exitCode}});
        return;
    }
    Redraw();
    if (form_ == TForm::PlainLines)
        Write(stdout, TotalsLine() + QLatin1Char('\n'));
    drawnLines_ = 0;
    if (reportsNotWritten_ > 0)
        Write(stdout, QStringLiteral("the reports of %1 %2 were not written\n")
                          .arg(reportsNotWritten_)
                          .arg(reportsNotWritten_ == 1 ? "unit" : "units"));
}

void TBatchProgress::Print(const QString& line)
{
    if (form_ == TForm::LiveTable && drawnLines_ > 0)
        Write(stdout, QStringLiteral("\x1b[%1A\x1b[J").arg(drawnLines_));
    drawnLines_ = 0;
    Write(stdout, line + QLatin1Char('\n'));
    Redraw();
}

void TBatchProgress::Event(const QJsonObject& event)
{
    QJsonObject stamped = event;
    stamped.insert("time", provision::InstantText(QDateTime::currentDateTime()));
    output_.JsonLine(stamped);
}

void TBatchProgress::Redraw()
{
    if (form_ != TForm::LiveTable)
        return;
    QString table;
    if (drawnLines_ > 0)
        table += QStringLiteral("\x1b[%1A").arg(drawnLines_);
    qsizetype width = 0;
    for (const QString& port : ports_)
        width = std::max(width, DisplayWidth(port));
    for (const QString& port : ports_)
        table += QStringLiteral("\x1b[2K%1  %2\n").arg(Padded(port, width), states_[port]);
    table += QStringLiteral("\x1b[2K%1\n").arg(TotalsLine());
    drawnLines_ = static_cast<int>(ports_.size()) + 1;
    Write(stdout, table);
}

QString TBatchProgress::TotalsLine() const
{
    const double hours = static_cast<double>(clock_.elapsed()) / 3'600'000.0;
    const int done = passed_ + notPassed_;
    const QString rate = hours > 0 && done > 0 ? QString::number(static_cast<int>(done / hours + 0.5)) : QStringLiteral("-");
    return QStringLiteral("pass %1  fail %2  remaining %3  units/h %4")
        .arg(passed_)
        .arg(notPassed_)
        .arg(std::max(rowsLeft_, 0))
        .arg(rate);
}

} // namespace r7730::cli
