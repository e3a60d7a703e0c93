#include "shell/event_log_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace r7730 {
namespace {

std::string TwoDigits(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// "hh:mm:ss".
std::string ClockText(const TLocalTime& time)
{
    return TwoDigits(time.hour) + ":" + TwoDigits(time.minute) + ":" + TwoDigits(time.second);
}

[[noreturn]] void RaiseInOutError(const std::string& path, int error)
{
    throw EInOutError(path + ": " + std::strerror(error), error);
}

} // namespace

std::string FormatLogLine(const TLocalTime& time, const std::string& message)
{
    return "[" + ClockText(time) + "]  " + message;
}

std::u16string VisibleControlCharacters(std::u16string_view message)
{
    std::u16string visible;
    visible.reserve(message.size());
    for (const char16_t c : message) {
        if (c >= 0x20) {
            visible += c;
            continue;
        }
        switch (c) {
        case u'\r': visible += u"\\r"; break;
        case u'\n': visible += u"\\n"; break;
        case u'\t': visible += u"\\t"; break;
        default: {
            static const char16_t digits[] = u"0123456789ABCDEF";
            visible += u"\\x";
            visible += digits[c >> 4];
            visible += digits[c & 0xF];
        }
        }
    }
    return visible;
}

std::string DailyLogFileName(const TLocalTime& date)
{
    char name[64];
    std::snprintf(name, sizeof name, "Log/R7730Setup_%04d%02d%02d.log", date.year, date.month, date.day);
    return name;
}

void AppendLineToFile(const std::string& path, const std::string& line)
{
    // The log holds what the device was told, passwords included: a new file is its owner's only.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        RaiseInOutError(path, errno);
    // A line that does not fit (a full disk) is taken back out, so the file never holds half a
    // line with the next one glued to it.
    const off_t sizeBefore = ::lseek(fd, 0, SEEK_END);
    std::string record = line + "\r\n";
    const char* data = record.data();
    std::size_t left = record.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            const int error = n < 0 ? errno : ENOSPC;
            if (sizeBefore >= 0 && ::ftruncate(fd, sizeBefore) != 0) {
                // Nothing more can be done for this file; the error below tells why.
            }
            ::close(fd);
            RaiseInOutError(path, error);
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        RaiseInOutError(path, errno);
}

std::string TEventLogFile::GapMark() const
{
    const std::string when = missingLines_ == 1 ? "logged at " + ClockText(firstMissing_)
                                                : "logged from " + ClockText(firstMissing_) + " to " + ClockText(lastMissing_);
    return "Log file written again; " + std::to_string(missingLines_) + (missingLines_ == 1 ? " line " : " lines ") +
           when + (missingLines_ == 1 ? " is" : " are") + " missing from it here (they were shown in the view).";
}

std::optional<TLogFileNotice> TEventLogFile::Append(const TLocalTime& time, const std::string& ansiLine)
{
    const std::string path = DailyLogFileName(time);
    std::optional<TLogFileNotice> notice;
    try {
        if (missingLines_ > 0) {
            // The mark goes in first, so the file tells of its gap where the gap is.
            const std::string mark = GapMark();
            AppendLineToFile(path, FormatLogLine(time, mark));
            missingLines_ = 0;
            notice = TLogFileNotice{mark, true};
        }
        AppendLineToFile(path, ansiLine);
        return notice;
    } catch (const EInOutError& error) {
        const bool alreadyFailing = missingLines_++ > 0;
        if (!alreadyFailing)
            firstMissing_ = time;
        lastMissing_ = time;
        if (alreadyFailing)
            return notice;
        std::string text = "Log file not written: ";
        text += error.what();
        if (error.ErrorCode() == ENOENT)
            text += " (create a folder named Log in the working folder, or uncheck Save Log File)";
        text += ". Lines stay in this view.";
        return TLogFileNotice{text, false};
    }
}

} // namespace r7730
