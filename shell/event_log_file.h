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

// Writes log lines to the daily file and decides when a failure is worth telling the user:
// the first failure of a run of failures is reported, later ones stay quiet until a write
// succeeds again, which is reported with the number of lines the file misses. A failure never
// escapes: the caller's work goes on.
class TEventLogFile {
public:
    // Appends the CP949 line; returns a notice (UTF-8) for the user when this write failed and
    // the previous one had not, or when it succeeded after failures.
    std::optional<std::string> Append(const TLocalTime& date, const std::string& ansiLine);

private:
    bool failing_ = false;
    int missingLines_ = 0;
};

} // namespace r7730
