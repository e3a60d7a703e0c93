#pragma once
// A plan file read (provision/plan.h) and checked before any unit is touched.
//
// The file is UTF-8 (a byte-order mark is dropped) or, when its bytes are not UTF-8, CP949 as
// a Korean spreadsheet saves it. Its first line names the columns; each line under it is a
// row. Cells are trimmed of surrounding blanks, except a quoted ssid or password: those keep
// what stands between the quotes, so a space can be part of them but a blank typed after a
// comma never is. A line of nothing but empty cells (a spreadsheet's empty row) is no row;
// rows are numbered from 1 without it.
//
// Reading fails on what makes the file no plan at all (EPlanError), a file over 16 MiB or a line
// over 64 KiB among them. The check then finds every
// problem of the rows at once, so one round of editing mends them all.
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <vector>

#include "provision/plan.h"

namespace r7730::provision {

// Why a file is no plan, in words that name the file and the line.
class EPlanError : public std::runtime_error {
public:
    explicit EPlanError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    QString Text() const { return text_; }

private:
    QString text_;
};

// The largest plan read: a row is a few hundred bytes, so this holds tens of thousands of units.
inline constexpr qsizetype kMaxPlanBytes = 16 * 1024 * 1024;

// The columns a plan may have: label, mac and the keys of the four settings sections.
QStringList PlanColumns();

// Reads the file at path. Raises EPlanError.
TPlan ReadPlanFile(const QString& path);
// The plan in these bytes, as read from path (named in the wording only). Raises EPlanError.
TPlan PlanOfBytes(const QString& path, const QByteArray& bytes);

// "00:1A:2B:3C:4D:5E" from 00:1A:2B:3C:4D:5E, 00-1a-2b-3c-4d-5e or 001A2B3C4D5E; nothing for
// anything else.
std::optional<QString> NormalMac(const QString& text);

// One problem of a row's cell. row 0: of the plan as a whole (line 1, its column names).
struct TPlanProblem {
    int row = 0;
    int line = 0;
    QString column;
    QString message;
};

// Every problem of the plan, by row and then by column. matchByMac: units are matched to rows
// by the MAC they report, so every row needs one. A cell is held to the rules of a value a
// person gives (device/settings_text_checks.h); forceMasks lets a mask that is none through.
std::vector<TPlanProblem> CheckPlan(const TPlan& plan, bool matchByMac, bool forceMasks = false);
// "PLAN.csv line 4 (row 3), column ip: each address field takes a whole number from 0 to 255"
QString ProblemText(const QString& path, const TPlanProblem& problem);

// What a row would change: the sections it gives, in the order they are applied, each with its
// keys in their own order.
struct TRowChange {
    TSection section = TSection::Wan;
    QStringList keys;
};
std::vector<TRowChange> RowChanges(const TPlanRow& row);
// "wan: ip, mask; ap: ssid, password", or "nothing" for a row that gives no setting.
QString RowChangesText(const TPlanRow& row);

} // namespace r7730::provision
