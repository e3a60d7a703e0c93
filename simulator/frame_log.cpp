#include "frame_log.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace sim {

namespace {

std::string timeStamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::snprintf(text, sizeof text, "[%02d:%02d:%02d.%03lld] ", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<long long>(millis));
    return text;
}

std::string idOf(const Bytes& frame)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", frame.size() > 2 ? frame[2] : 0);
    return text;
}

} // namespace

FrameLog::FrameLog(const std::string& path, bool notes) : notes_(notes)
{
    if (path == "-") {
        log_ = stdout;
    } else if (!path.empty()) {
        log_ = std::fopen(path.c_str(), "a");
        if (!log_)
            throw std::runtime_error("cannot open the frame log " + path + ": " + std::strerror(errno));
        ownsLog_ = true;
    }
}

FrameLog::~FrameLog()
{
    if (ownsLog_)
        std::fclose(log_);
}

void FrameLog::received(const Bytes& frame)
{
    if (log_)
        line(log_, "RX " + idOf(frame) + " [" + std::to_string(frame.size()) + "][" + hexText(frame) + "]");
}

void FrameLog::sent(const Bytes& frame)
{
    if (log_)
        line(log_, "TX " + idOf(frame) + " [" + std::to_string(frame.size()) + "][" + hexText(frame) + "]");
}

void FrameLog::wrote(const Bytes& bytes)
{
    if (log_)
        line(log_, "write " + std::to_string(bytes.size()) + " bytes");
}

void FrameLog::note(const std::string& text)
{
    if (!notes_)
        return;
    line(stdout, "note: " + text);
    if (log_ && log_ != stdout)
        line(log_, "note: " + text);
}

void FrameLog::line(std::FILE* to, const std::string& text)
{
    const std::string stamped = timeStamp() + text + "\n";
    std::fwrite(stamped.data(), 1, stamped.size(), to);
    std::fflush(to);
}

} // namespace sim
