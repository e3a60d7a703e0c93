#pragma once
// Frames on the device's serial line, as the simulated device sees them.
//
// Principles of operation: every frame is 0x7E, a length byte (total bytes, start and end
// included), a message ID, the fixed byte 0x50, a payload and 0xFE. Commands are cut out of the
// byte stream by their length byte, never by searching for 0xFE, because a command payload may
// hold 0xFE (a mask octet of 254) or 0x7E. Bytes before a start byte are reported as skipped; a
// start byte followed by an impossible length, or a frame whose last byte is not 0xFE, is
// reported as malformed and reading resumes at the next start byte. This code is written from the
// frame tables alone and shares nothing with the program's own protocol code, so it checks the
// program's bytes instead of agreeing with its mistakes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kFrameStart = 0x7E;
inline constexpr std::uint8_t kFrameEnd = 0xFE;
inline constexpr std::uint8_t kFixedByte = 0x50;
inline constexpr std::size_t kShortestFrame = 5;
inline constexpr std::size_t kLongestCommand = 53;

// "7E.05.41.50.FE." — two upper-case hex digits and a dot per byte.
std::string hexText(std::span<const std::uint8_t> bytes);

// Reads hex bytes written as "7E 05 41", "7E.05.41." or "7E:05:41"; nullopt and a message in
// error when the text holds anything else.
std::optional<Bytes> parseHexBytes(std::string_view text, std::string& error);

// A reply frame: 7E, length, ID, 0x50, payload, FE. The length byte is the total length, or 0xFF
// when the total does not fit in a byte (the receiver counts bytes instead of reading it).
Bytes buildFrame(std::uint8_t id, std::span<const std::uint8_t> payload);

struct ReaderEvent {
    enum class Kind { Frame, Skipped, Malformed };
    Kind kind;
    Bytes bytes;        // the frame, or the bytes that were dropped
    std::string reason; // why bytes were dropped; empty for a frame
};

// Reassembles command frames from the bytes read from the port.
class CommandReader {
public:
    std::vector<ReaderEvent> feed(std::span<const std::uint8_t> bytes);
    // Drops an unfinished frame (the port closed, or its bytes stopped coming).
    std::optional<ReaderEvent> discardPartial(std::string_view reason);
    bool hasPartial() const { return !pending_.empty(); }

private:
    ReaderEvent dropUntilNextStart(std::string reason);
    Bytes pending_;
};

} // namespace sim
