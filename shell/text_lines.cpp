// Lines read with a cap on their length (see text_lines.h).
#include "shell/text_lines.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

namespace r7730 {
namespace {

constexpr std::size_t kBlockBytes = 256 * 1024;

} // namespace

TCappedLineReader::TCappedLineReader(int fd, std::size_t cap) : fd_(fd), cap_(cap) {}

bool TCappedLineReader::Fill()
{
    // What was handed out before start_ is let go first, so the buffer never holds more than a
    // line's cap and one block.
    buffer_.erase(0, start_);
    start_ = 0;
    const std::size_t held = buffer_.size();
    buffer_.resize(held + kBlockBytes);
    ssize_t got = 0;
    do
        got = ::read(fd_, buffer_.data() + held, kBlockBytes);
    while (got < 0 && errno == EINTR);
    buffer_.resize(held + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got < 0)
        throw std::system_error(errno, std::generic_category(), "read");
    return got > 0;
}

std::optional<TCappedLine> TCappedLineReader::Next()
{
    while (skipping_) {
        const std::size_t feed = buffer_.find('\n', start_);
        if (feed != std::string::npos) {
            start_ = feed + 1;
            skipping_ = false;
        } else {
            start_ = buffer_.size();
            if (!Fill())
                return std::nullopt;
        }
    }
    std::size_t searched = start_; // no line feed stands between start_ and here
    while (true) {
        const std::size_t feed = buffer_.find('\n', searched);
        const std::size_t length = (feed == std::string::npos ? buffer_.size() : feed) - start_;
        if (length > cap_) {
            const TCappedLine line{std::string_view(buffer_).substr(start_, cap_), true, false};
            // The text stays in place until the next call; its rest is read past then.
            skipping_ = feed == std::string::npos;
            start_ = skipping_ ? buffer_.size() : feed + 1;
            return line;
        }
        if (feed != std::string::npos) {
            const TCappedLine line{std::string_view(buffer_).substr(start_, length), false, true};
            start_ = feed + 1;
            return line;
        }
        searched = length; // Fill moves the line to the front of the buffer
        if (!Fill()) {
            if (buffer_.empty())
                return std::nullopt;
            start_ = buffer_.size();
            return TCappedLine{std::string_view(buffer_), false, false};
        }
    }
}

int FirstLineLongerThan(std::string_view text, std::size_t cap)
{
    int number = 1;
    while (!text.empty()) {
        const std::size_t feed = text.find('\n');
        std::string_view line = text.substr(0, feed);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.size() > cap)
            return number;
        if (feed == std::string_view::npos)
            break;
        text.remove_prefix(feed + 1);
        ++number;
    }
    return 0;
}

} // namespace r7730
