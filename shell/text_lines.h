#pragma once
// Lines of text read with a cap on their length, so that what is no text (a device, a stream of
// NUL bytes, a single line of a gigabyte) never fills the memory. The home of that cap for every
// reader of the program's text files: the daily log, a plan, a profile.
//
// TCappedLineReader reads a file descriptor in blocks and hands out one line at a time, without
// its line feed. A line longer than the cap comes out cut at the cap and marked; the rest of it
// is read past, never kept, when the next line is asked for. A text already in memory (a file
// that is capped as a whole) is searched with FirstLineLongerThan.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace r7730 {

// The longest line kept: a log line is at most a few hundred bytes, a plan's or profile's less.
inline constexpr std::size_t kMaxTextLineBytes = 64 * 1024;

struct TCappedLine {
    std::string_view text; // at most the cap's bytes; valid until the next line is asked for
    bool cut = false;      // the line went on past the cap
    bool ended = false;    // a line feed ended it (not for the last line of a text without one)
};

class TCappedLineReader {
public:
    // Reads fd, which stays open; cap: the longest line kept.
    explicit TCappedLineReader(int fd, std::size_t cap = kMaxTextLineBytes);
    // The next line; nothing at the end of the text. Raises std::system_error when a read fails.
    std::optional<TCappedLine> Next();

private:
    bool Fill(); // more bytes after those held; false at the end

    int fd_;
    std::size_t cap_;
    std::string buffer_;
    std::size_t start_ = 0;  // where the next line begins in buffer_
    bool skipping_ = false;  // the rest of a cut line is still to be read past
};

// The 1-based number of the first line longer than cap bytes (a CR before its line feed not
// counted), or 0 when none is.
int FirstLineLongerThan(std::string_view text, std::size_t cap = kMaxTextLineBytes);

} // namespace r7730
