#include "protocol/received_frame.h"

#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace r7730 {

std::uint8_t ReceivedMessageId(std::span<const std::uint8_t> frame)
{
    // Start byte, length byte, ID, ..., end byte: with fewer than four bytes the ID never came.
    return frame.size() >= 4 ? frame[2] : 0;
}

TReplyAction ReplyAction(std::span<const std::uint8_t> frame)
{
    const std::uint8_t id = ReceivedMessageId(frame);
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
    return "RX MSG ID:[0x" + ByteToHex(ReceivedMessageId(frame)) + "] LEN:[" + std::to_string(frame.size()) +
           "]:[" + HexText(frame.data(), frame.size()) + "]";
}

std::string UnregisteredLogLine(std::span<const std::uint8_t> frame)
{
    return "Message ID:[0x" + ByteToHex(ReceivedMessageId(frame)) + "] is Unregistered.";
}

} // namespace r7730
