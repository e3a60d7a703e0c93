#pragma once
// The anchor of the receive figures: the least a program can do with the same bytes. It reads
// the port, finds each frame's end byte and appends the two lines the window logs for a frame
// ("[EOT]" and the hex line) to a file, opening and closing the file for every line as the
// window does. No window, no frame decoding.
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace r7730::figures {

class TPlainReader {
public:
    explicit TPlainReader(std::string logPath) : logPath_(std::move(logPath)) {}

    // Takes bytes as they come from the port.
    void Feed(const std::uint8_t* bytes, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            frame_.push_back(static_cast<char>(bytes[i]));
            if (bytes[i] != 0xFE)
                continue;
            AppendLine("[EOT]");
            AppendLine(HexLine());
            frame_.clear();
            ++frames_;
        }
    }
    long Frames() const { return frames_; }

private:
    std::string HexLine() const
    {
        static const char digits[] = "0123456789ABCDEF";
        std::string line = "RX 0x";
        const auto id = frame_.size() > 2 ? static_cast<std::uint8_t>(frame_[2]) : 0;
        line += digits[id >> 4];
        line += digits[id & 15];
        line += " : [" + std::to_string(frame_.size()) + "][";
        for (char c : frame_) {
            const auto byte = static_cast<std::uint8_t>(c);
            line += digits[byte >> 4];
            line += digits[byte & 15];
            line += '.';
        }
        return line + "]";
    }

    void AppendLine(const std::string& message) const { AppendStampedLine(logPath_, message); }

public:
    // "[hh:mm:ss]  " + message + CR LF at the end of the file, opened and closed for this line.
    static void AppendStampedLine(const std::string& path, const std::string& message)
    {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char stamp[16];
        std::strftime(stamp, sizeof stamp, "[%H:%M:%S]  ", &local);
        const std::string record = stamp + message + "\r\n";
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return;
        [[maybe_unused]] const ssize_t written = ::write(fd, record.data(), record.size());
        ::close(fd);
    }

private:
    std::string logPath_;
    std::string frame_;
    long frames_ = 0;
};

} // namespace r7730::figures
