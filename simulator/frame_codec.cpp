#include "frame_codec.h"

#include <algorithm>
#include <cctype>

namespace sim {

std::string hexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
        text += '.';
    }
    return text;
}

namespace {
int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
} // namespace

std::optional<Bytes> parseHexBytes(std::string_view text, std::string& error)
{
    Bytes bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == ' ' || c == '.' || c == ':' || c == ',') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || hexDigitValue(c) < 0 || hexDigitValue(text[i + 1]) < 0) {
            error = "'" + std::string(text) + "' is not a list of hex bytes (for example 01.7E.33)";
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(hexDigitValue(c) * 16 + hexDigitValue(text[i + 1])));
        i += 2;
    }
    if (bytes.empty()) {
        error = "the list of hex bytes is empty";
        return std::nullopt;
    }
    return bytes;
}

Bytes buildFrame(std::uint8_t id, std::span<const std::uint8_t> payload)
{
    const std::size_t total = payload.size() + kShortestFrame;
    Bytes frame;
    frame.reserve(total);
    frame.push_back(kFrameStart);
    frame.push_back(total <= 0xFF ? static_cast<std::uint8_t>(total) : 0xFF);
    frame.push_back(id);
    frame.push_back(kFixedByte);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(kFrameEnd);
    return frame;
}

std::vector<ReaderEvent> CommandReader::feed(std::span<const std::uint8_t> bytes)
{
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    std::vector<ReaderEvent> events;
    while (!pending_.empty()) {
        if (pending_[0] != kFrameStart) {
            auto start = std::find(pending_.begin(), pending_.end(), kFrameStart);
            events.push_back({ReaderEvent::Kind::Skipped, Bytes(pending_.begin(), start),
                              "bytes outside a frame"});
            pending_.erase(pending_.begin(), start);
            continue;
        }
        if (pending_.size() < 2)
            break;
        const std::size_t length = pending_[1];
        if (length < kShortestFrame || length > kLongestCommand) {
            events.push_back(dropUntilNextStart("length byte " + std::to_string(length) +
                                                " is not a command length (5 to 53)"));
            continue;
        }
        if (pending_.size() < length)
            break;
        if (pending_[length - 1] != kFrameEnd) {
            events.push_back(dropUntilNextStart("the byte at the end of a " + std::to_string(length) +
                                                "-byte frame is not FE"));
            continue;
        }
        events.push_back({ReaderEvent::Kind::Frame, Bytes(pending_.begin(), pending_.begin() + length), {}});
        pending_.erase(pending_.begin(), pending_.begin() + length);
    }
    return events;
}

std::optional<ReaderEvent> CommandReader::discardPartial(std::string_view reason)
{
    if (pending_.empty())
        return std::nullopt;
    ReaderEvent event{ReaderEvent::Kind::Malformed, std::move(pending_), std::string(reason)};
    pending_.clear();
    return event;
}

ReaderEvent CommandReader::dropUntilNextStart(std::string reason)
{
    auto next = std::find(pending_.begin() + 1, pending_.end(), kFrameStart);
    ReaderEvent event{ReaderEvent::Kind::Malformed, Bytes(pending_.begin(), next), std::move(reason)};
    pending_.erase(pending_.begin(), next);
    return event;
}

} // namespace sim
