#include "protocol/received_frame.h"

#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace r7730 {

TReplyAction ReplyAction(std::span<const std::uint8_t> frame)
{
    const std::uint8_t id = FrameMessageId(frame);
    if (id < kFirstRegisteredReply || id > kLastRegisteredReply)
        return TReplyAction::Unregistered;
    const auto length = static_cast<int>(frame.size());
    switch (static_cast<TMessageId>(id)) {
    case TMessageId::CurrentStatusRead:
        return length == kStatusReplyLength ? TReplyAction::ShowStatus : TReplyAction::DropWrongLength;
    case TMessageId::ScanAccessPoints:
        return TReplyAction::FillScanGrid;
    case TMessageId::ReadCurrentAp:
        return length == kCurrentApReplyLength ? TReplyAction::ShowCurrentAp : TReplyAction::DropWrongLength;
    case TMessageId::ReadSignalStrength:
        return length == kSignalReplyLength ? TReplyAction::ShowSignal : TReplyAction::DropWrongLength;
    default:
        return TReplyAction::AcceptSilently;
    }
}

std::string ReceiveLogLine(std::span<const std::uint8_t> frame)
{
    return "RX MSG ID:[" + MessageIdText(FrameMessageId(frame)) + "] LEN:[" + std::to_string(frame.size()) +
           "]:[" + HexText(frame.data(), frame.size()) + "]";
}

std::string UnregisteredLogLine(std::span<const std::uint8_t> frame)
{
    return "Message ID:[" + MessageIdText(FrameMessageId(frame)) + "] is Unregistered.";
}

} // namespace r7730
