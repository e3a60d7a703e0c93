#pragma once
// The commissioning report of one attempt: a JSON file for machines and an HTML page for people
// (and, through provision/report_pdf.h, the same page as a PDF), written side by side into a
// report folder.
//
// Principles of operation. Both are made from the attempt alone. The JSON comes first, with its
// keys in a fixed order, so the same attempt always gives the same bytes; the page's footer
// carries the SHA-256 of those bytes, so a printed page can be matched to its file. The page is
// self-contained (inline style, no script, nothing fetched) and fits one A4 sheet. Every text
// that came from a plan file or a device is escaped. A `password` field is shown only as the
// attempt records it ("set, 8 characters"); should one ever hold something else, it is shown
// as that record instead, and the text is blanked wherever else it appears.
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

#include "provision/attempt.h"

namespace r7730::provision {

// A report that cannot be written: which file, and why, in plain words.
class EReportError : public std::runtime_error {
public:
    explicit EReportError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    QString Text() const { return text_; }

private:
    QString text_;
};

// The program that writes the report: "r7730ctl" and the project's version, "1.0".
struct TReportProgram {
    QString name;
    QString version;
};

struct TCommissioningReport {
    QString stem;    // the file names without their extension (see ReportFileStem)
    QByteArray json; // indented UTF-8
    QString html;    // its footer carries the SHA-256 of json
};

// The attempt's facts as a JSON object (a password field only as its record), as a report and
// `r7730ctl records --json` give them.
QJsonObject AttemptJson(const TAttempt& attempt);

TCommissioningReport MakeCommissioningReport(const TAttempt& attempt, const TReportProgram& program);

// "20250314-093015_LINE-07_42": the start time (in the attempt's own zone), the label or else the
// MAC or else "unit", and the attempt's id. A character a file name cannot or should not hold
// (a slash, a backslash, : * ? " < > |, a blank, a control or format character) becomes "-";
// every other character, Hangul included, is kept. The label is cut at 64 characters.
QString ReportFileStem(const TAttempt& attempt);

// One file of a report: its name in the report folder and its bytes.
struct TReportFile {
    QString name;
    QByteArray bytes;
};

// stem.json and stem.html.
std::vector<TReportFile> ReportFiles(const TCommissioningReport& report);

// Makes the report folder when it is missing and checks that files can be made in it; raises
// EReportError naming the folder and why not. A batch run does this before its first unit.
void MakeReportFolder(const QString& folder);

// Writes each file whole into folder, which is made when missing. Every path is checked before
// the first is written, so a path that cannot take a file (a folder, a FIFO, ...) leaves nothing
// written. Returns the paths written; raises EReportError naming the file or folder and why.
QStringList WriteReportFiles(const QString& folder, const std::vector<TReportFile>& files);

} // namespace r7730::provision
