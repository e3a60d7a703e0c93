#include "protocol/frame.h"

#include "protocol/hex_text.h"

namespace r7730 {

TFrame BuildFrame(std::uint8_t messageId, const std::vector<std::uint8_t>& payload)
{
    TFrame frame;
    frame.reserve(payload.size() + kFrameOverhead);
    frame.push_back(kFrameStart);
    frame.push_back(static_cast<std::uint8_t>(payload.size() + kFrameOverhead));
    frame.push_back(messageId);
    frame.push_back(kFixedByte);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(kFrameEnd);
    return frame;
}

std::uint8_t FrameMessageId(std::span<const std::uint8_t> frame)
{
    return frame.size() >= 4 ? frame[2] : 0;
}

std::string MessageIdText(std::uint8_t id)
{
    return "0x" + ByteToHex(id);
}

std::string TransmitLogLine(const TFrame& frame, const std::string& tail)
{
    return "TX " + MessageIdText(FrameMessageId(frame)) + " : [" + std::to_string(frame.size()) + "][" +
           HexText(frame.data(), frame.size()) + tail;
}

} // namespace r7730
