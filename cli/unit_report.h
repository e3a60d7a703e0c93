#pragma once
// Commissioning reports from r7730ctl: the writer batch hands its stations, and the report of
// the one unit a `set` or `restore` changed (--report DIR), in the same form.
#include <QString>

#include "cli/read_back.h"
#include "provision/attempt.h"
#include "provision/batch_run.h"
#include "protocol/reply_decoders.h"

namespace r7730::cli {

class TCtlSession;

// Writes an attempt's JSON and HTML report into folder, and its PDF with pdf (drawn in the main
// thread, where the application's fonts live; the caller's thread waits). Returns the paths.
provision::TReportWriter ReportWriter(const QString& folder, bool pdf);

// The attempt of a set or restore: begun with the unit's status, one change after another
// added, ended and written when a report folder was asked for.
class TUnitReport {
public:
    TUnitReport(const QString& folder, const TCtlSession& session, const TStatusReply& status);
    // A section as sent and read back; report is null when nothing needed sending.
    void Add(const TPreparedChange& change, const TChangeReport* report);
    // The attempt itself, for what a firmware update adds: its image, steps, version after.
    provision::TAttempt& Attempt() { return attempt_; }
    // What failed, in plain words: the attempt ends FAIL.
    void Fail(const QString& error) { attempt_.error = error; }
    // A section sent whose change could not go on (the unit did not come back, the port went
    // away): recorded as sent with nothing read back, and the attempt ends FAIL with the reason.
    void Fail(const TPreparedChange& change, const QString& error);
    // Ends the attempt (PASS when every section holds what was sent and nothing failed) and
    // writes its report.
    // Returns the paths written; nothing without a folder. Raises TCliFailure (exit 1) when a
    // file cannot be written.
    QStringList Write();

private:
    QString folder_;
    provision::TAttempt attempt_;
};

} // namespace r7730::cli
