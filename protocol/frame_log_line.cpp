#include "protocol/frame_log_line.h"

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

// A decimal number of at most five digits, off the front.
std::optional<int> TakeNumber(std::string_view& text)
{
    int value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && digits < 5 && Digit(text[digits]) >= 0)
        value = value * 10 + Digit(text[digits++]);
    if (digits == 0)
        return std::nullopt;
    text.remove_prefix(digits);
    return value;
}

std::optional<std::uint8_t> TakeHexByte(std::string_view& text)
{
    if (text.size() < 2 || HexDigit(text[0]) < 0 || HexDigit(text[1]) < 0)
        return std::nullopt;
    const auto byte = static_cast<std::uint8_t>(HexDigit(text[0]) * 16 + HexDigit(text[1]));
    text.remove_prefix(2);
    return byte;
}

// "7E.05.41.50.FE." up to the closing "]", which is taken too.
std::optional<std::vector<std::uint8_t>> TakeHexText(std::string_view& text)
{
    std::vector<std::uint8_t> bytes;
    while (!Take(text, "]")) {
        const auto byte = TakeHexByte(text);
        if (!byte || !Take(text, "."))
            return std::nullopt;
        bytes.push_back(*byte);
    }
    return bytes;
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

namespace {

// A frame line read, with where its hex text begins in the line.
struct TReadFrameLine {
    TLoggedFrame frame;
    std::size_t hexAt = 0;
};

std::optional<TReadFrameLine> ReadLine(const std::string_view whole)
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
        return std::nullopt;
    frame.side = shape->side;
    const std::optional<std::uint8_t> id = TakeHexByte(line);
    if (!id || !Take(line, shape->afterId))
        return std::nullopt;
    const std::optional<int> count = TakeNumber(line);
    if (!count || !Take(line, shape->afterCount))
        return std::nullopt;
    const std::size_t hexAt = static_cast<std::size_t>(line.data() - whole.data());
    auto bytes = TakeHexText(line);
    if (!bytes || static_cast<int>(bytes->size()) != *count || bytes->empty())
        return std::nullopt;
    // The transmit line names the byte at offset 2 of any frame longer than two bytes; the
    // receive line the message ID by the receive path's rule.
    const std::uint8_t named = frame.side == TFrameSide::Command ? (bytes->size() > 2 ? (*bytes)[2] : 0) : FrameMessageId(*bytes);
    if (named != *id)
        return std::nullopt;
    frame.bytes = std::move(*bytes);
    return TReadFrameLine{std::move(frame), hexAt};
}

} // namespace

std::optional<TLoggedFrame> ReadFrameLogLine(std::string_view line)
{
    std::optional<TReadFrameLine> read = ReadLine(line);
    if (!read)
        return std::nullopt;
    return std::move(read->frame);
}

std::string MaskedFrameLogLine(std::string_view line)
{
    std::string masked(line);
    if (const std::optional<TReadFrameLine> read = ReadLine(line)) {
        const std::vector<bool> secret = SecretBytes(read->frame.side, read->frame.bytes);
        // Each byte is two hex digits and a dot.
        for (std::size_t i = 0; i < secret.size(); ++i)
            if (secret[i])
                masked.replace(read->hexAt + 3 * i, kMaskedByte.size(), kMaskedByte);
    }
    return masked;
}

} // namespace r7730
