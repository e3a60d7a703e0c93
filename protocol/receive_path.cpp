#include "protocol/receive_path.h"

#include "protocol/frame.h"
#include "protocol/h_refer_lib.h"

namespace r7730 {

void TReceivePath::Reset()
{
    RxBuffer.fill(0);
    RxCount = 0;
}

void TReceivePath::Store(std::uint8_t byte, IReceiveSink& sink)
{
    if (RxCount >= kRxBufferSize) {
        const int dropped = RxCount + 1;
        Reset();
        skippingOverflow_ = true;
        sink.FrameOverflowed(dropped);
        return;
    }
    RxBuffer[static_cast<std::size_t>(RxCount++)] = byte;
}

void TReceivePath::Feed(const std::uint8_t* bytes, int count, IReceiveSink& sink)
{
    std::exception_ptr firstError;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        if (skippingOverflow_) {
            skippingOverflow_ = byte != kFrameEnd;
            continue;
        }
        try {
            if (byte == kFrameStart && RxCount <= 1) {
                Reset();
            } else if (byte == kFrameEnd) {
                struct ResetAfterward {
                    TReceivePath& path;
                    ~ResetAfterward() { path.Reset(); }
                } resetAfterward{*this};
                sink.FrameCompleted();
            } else {
                Store(byte, sink);
            }
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

TReplyAction TReceivePath::Action() const
{
    const std::uint8_t id = MessageId();
    if (id < kFirstRegisteredReply || id > kLastRegisteredReply)
        return TReplyAction::Unregistered;
    const int wireLength = RxCount + 2;
    switch (static_cast<TMessageId>(id)) {
    case TMessageId::CurrentStatusRead:
        return wireLength == kStatusReplyLength ? TReplyAction::ShowStatus : TReplyAction::DropWrongLength;
    case TMessageId::ScanAccessPoints:
        return TReplyAction::FillScanGrid;
    case TMessageId::ReadCurrentAp:
        return wireLength == kCurrentApReplyLength ? TReplyAction::ShowCurrentAp : TReplyAction::DropWrongLength;
    case TMessageId::ReadSignalStrength:
        return wireLength == kSignalReplyLength ? TReplyAction::ShowSignal : TReplyAction::DropWrongLength;
    default:
        return TReplyAction::AcceptSilently;
    }
}

std::vector<std::uint8_t> TReceivePath::Frame() const
{
    std::vector<std::uint8_t> frame;
    frame.reserve(static_cast<std::size_t>(RxCount) + 2);
    frame.push_back(kFrameStart);
    frame.insert(frame.end(), RxBuffer.begin(), RxBuffer.begin() + RxCount);
    frame.push_back(kFrameEnd);
    return frame;
}

std::string TReceivePath::FrameHexText() const
{
    std::string text = "7E.";
    text += HexText(RxBuffer.data(), static_cast<std::size_t>(RxCount));
    text += "FE.";
    return text;
}

std::string TReceivePath::ReceiveLogLine() const
{
    return "RX MSG ID:[0x" + ByteToHex(MessageId()) + "] LEN:[" + std::to_string(RxCount + 2) + "]:[" +
           FrameHexText() + "]";
}

std::string TReceivePath::UnregisteredLogLine() const
{
    return "Message ID:[0x" + ByteToHex(MessageId()) + "] is Unregistered.";
}

} // namespace r7730
