#pragma once
// The daily log file: one CP949 line per event, ended by CR LF, under Log/ in the working
// folder. The file is opened, appended to and closed for every line, so other programs can
// read it while we run; the Log folder is never created.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "shell/clock.h"

namespace r7730 {

// A file that could not be opened or written. The message is the system's reason.
class EInOutError : public std::runtime_error {
public:
    EInOutError(const std::string& message, int errorCode)
        : std::runtime_error(message), errorCode_(errorCode) {}
    int ErrorCode() const { return errorCode_; }

private:
    int errorCode_;
};

// "[hh:mm:ss]  " + message.
std::string FormatLogLine(const TLocalTime& time, const std::string& message);

// A message with its control characters made visible (CR as \r, LF as \n, tab as \t, the
// other codes below 0x20 as \xHH), so one message stays one line in the view and one record in
// the file, whatever text a device sent.
std::u16string VisibleControlCharacters(std::u16string_view message);

// "Log/R7730Setup_yyyymmdd.log".
std::string DailyLogFileName(const TLocalTime& date);

// Appends `line` and CR LF to the file, creating the file (never its folder) when missing.
// Raises EInOutError with the system's reason on any failure; a line that could not be written
// whole is taken back out, leaving the file as it was.
void AppendLineToFile(const std::string& path, const std::string& line);

// What the daily file has to tell the user about itself: a notice for the view, and whether it
// belongs before the line just logged (the mark of a gap, which the file holds there too) or
// after it (a failure, which only the view can show).
struct TLogFileNotice {
    std::string text;
    bool beforeTheLine = false;
    bool operator==(const TLogFileNotice&) const = default;
};

// Writes log lines to the daily file and decides when a failure is worth telling the user:
// the first failure of a run of failures is reported, later ones stay quiet until a write
// succeeds again. Then the gap leaves a mark, a stamped line in the file and the view before
// the line that was written again, naming how many lines are missing and when they were logged.
// A failure never escapes: the caller's work goes on.
class TEventLogFile {
public:
    // Appends the CP949 line logged at `time`; a notice (UTF-8) when this write failed and the
    // previous one had not, or when it succeeded after failures.
    std::optional<TLogFileNotice> Append(const TLocalTime& time, const std::string& ansiLine);

private:
    std::string GapMark() const;

    // Lines the file misses since writing last failed; none while it works.
    int missingLines_ = 0;
    TLocalTime firstMissing_{};
    TLocalTime lastMissing_{};
};

} // namespace r7730
