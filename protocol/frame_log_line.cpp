#include "protocol/frame_log_line.h"

#include <limits>

#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace r7730 {
namespace {

constexpr std::string_view kStampGap = "  ";
constexpr int kStampLength = 10; // "[hh:mm:ss]"

// A frame line: its head up to the ID's hex digits, then what stands between the ID and the
// count and between the count and the bytes.
struct TFrameLineShape {
    std::string_view head, afterId, afterCount;
    TFrameSide side;
};
constexpr TFrameLineShape kFrameLineShapes[] = {
    {"TX 0x", " : [", "][", TFrameSide::Command},
    {"RX MSG ID:[0x", "] LEN:[", "]:[", TFrameSide::Reply},
};

int Digit(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a literal off the front of the text.
bool Take(std::string_view& text, std::string_view literal)
{
    if (!text.starts_with(literal))
        return false;
    text.remove_prefix(literal.size());
    return true;
}

// A decimal number off the front. One of more digits than a count can sensibly have reads as
// the largest long, so an absurd count is told from a missing one.
constexpr std::size_t kMaxCountDigits = 9;
std::optional<long> TakeNumber(std::string_view& text)
{
    long value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && Digit(text[digits]) >= 0) {
        if (digits < kMaxCountDigits)
            value = value * 10 + Digit(text[digits]);
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    text.remove_prefix(digits);
    return digits > kMaxCountDigits ? std::numeric_limits<long>::max() : value;
}

std::optional<std::uint8_t> TakeHexByte(std::string_view& text)
{
    if (text.size() < 2 || HexDigit(text[0]) < 0 || HexDigit(text[1]) < 0)
        return std::nullopt;
    const auto byte = static_cast<std::uint8_t>(HexDigit(text[0]) * 16 + HexDigit(text[1]));
    text.remove_prefix(2);
    return byte;
}

// Whether the text is a beginning of "XX." hex groups (what a line cut short leaves).
bool IsHexTextPrefix(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i % 3 == 2 ? text[i] != '.' : HexDigit(text[i]) < 0)
            return false;
    return true;
}

TFrameLineReading Fault(std::string fault, bool torn = false)
{
    TFrameLineReading reading;
    reading.fault = std::move(fault);
    reading.torn = torn;
    return reading;
}

} // namespace

std::optional<int> LogLineStamp(std::string_view line)
{
    if (line.size() < kStampLength + kStampGap.size() || line[0] != '[' || line[3] != ':' || line[6] != ':' || line[9] != ']' ||
        line.substr(kStampLength, kStampGap.size()) != kStampGap)
        return std::nullopt;
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        const int tens = Digit(line[1 + 3 * i]);
        const int ones = Digit(line[2 + 3 * i]);
        if (tens < 0 || ones < 0)
            return std::nullopt;
        parts[i] = tens * 10 + ones;
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return std::nullopt;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

TFrameLineReading ParseFrameLogLine(const std::string_view whole)
{
    std::string_view line = whole;
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    TLoggedFrame frame;
    frame.secondOfDay = LogLineStamp(line);
    if (frame.secondOfDay)
        line.remove_prefix(kStampLength + kStampGap.size());

    const TFrameLineShape* shape = nullptr;
    for (const TFrameLineShape& candidate : kFrameLineShapes)
        if (Take(line, candidate.head)) {
            shape = &candidate;
            break;
        }
    if (!shape)
        return {};
    frame.side = shape->side;
    const char* const kind = frame.side == TFrameSide::Command ? "TX" : "RX";
    const std::optional<std::uint8_t> id = TakeHexByte(line);
    if (!id)
        return Fault(std::string("the ID of the ") + kind + " line is not two hex digits");
    if (!Take(line, shape->afterId))
        return Fault(std::string("the ") + kind + " line has no byte count after its ID");
    const std::optional<long> count = TakeNumber(line);
    if (!count || !Take(line, shape->afterCount))
        return Fault(std::string("the ") + kind + " line has no byte count after its ID");
    if (*count > kMaxLoggedFrameBytes)
        return Fault(*count == std::numeric_limits<long>::max() ? std::string("an absurd length of more than 999999999 bytes")
                                                                 : "an absurd length of " + std::to_string(*count) + " bytes");

    const std::size_t hexAt = static_cast<std::size_t>(line.data() - whole.data());
    std::vector<std::uint8_t> bytes;
    while (!Take(line, "]")) {
        const std::string_view rest = line;
        const auto byte = TakeHexByte(line);
        if (!byte || !Take(line, ".")) {
            if (IsHexTextPrefix(rest))
                return Fault("the line ends inside its bytes", true);
            return Fault("bad hex at byte " + std::to_string(bytes.size() + 1));
        }
        bytes.push_back(*byte);
        // The count is within the longest frame, so no more bytes than that are ever held.
        if (static_cast<long>(bytes.size()) > *count)
            return Fault("its length says " + std::to_string(*count) + " bytes, the line holds more");
    }
    if (bytes.empty())
        return Fault("the line holds no bytes");
    if (static_cast<long>(bytes.size()) != *count)
        return Fault("its length says " + std::to_string(*count) + " bytes, the line holds " + std::to_string(bytes.size()));
    // Both lines name the frame's message ID.
    const std::uint8_t named = FrameMessageId(bytes);
    if (named != *id)
        return Fault("the line names the ID " + MessageIdText(*id) + ", its bytes " + MessageIdText(named));
    frame.bytes = std::move(bytes);
    TFrameLineReading reading;
    reading.frame = std::move(frame);
    reading.hexAt = hexAt;
    return reading;
}

std::optional<TLoggedFrame> ReadFrameLogLine(std::string_view line)
{
    return ParseFrameLogLine(line).frame;
}

std::string MaskedFrameLogLine(std::string_view line)
{
    std::string masked(line);
    const TFrameLineReading read = ParseFrameLogLine(line);
    if (read.frame) {
        const std::vector<bool> secret = SecretBytes(read.frame->side, read.frame->bytes);
        // Each byte is two hex digits and a dot.
        for (std::size_t i = 0; i < secret.size(); ++i)
            if (secret[i])
                masked.replace(read.hexAt + 3 * i, kMaskedByte.size(), kMaskedByte);
    }
    return masked;
}

} // namespace r7730
