// Bytes from the line, in any split, through the receive path and the decoder of every frame it
// finishes, the way the device link dispatches them.
#include <cstdint>
#include <span>

#include "fuzz_input.h"
#include "protocol/conversion_error.h"
#include "protocol/receive_path.h"
#include "protocol/received_frame.h"
#include "protocol/reply_decoders.h"

namespace {

class TDecodingSink : public r7730::IReceiveSink {
public:
    void FrameCompleted(std::span<const std::uint8_t> frame) override
    {
        using r7730::TReplyAction;
        (void)r7730::ReceiveLogLine(frame);
        switch (r7730::ReplyAction(frame)) {
        case TReplyAction::ShowStatus: (void)r7730::DecodeStatusReply(frame); break;
        case TReplyAction::FillScanGrid: (void)r7730::DecodeScanReply(frame); break;
        case TReplyAction::ShowCurrentAp: (void)r7730::DecodeCurrentApReply(frame); break;
        case TReplyAction::ShowSignal: (void)r7730::DecodeSignalReply(frame); break;
        default: (void)r7730::UnregisteredLogLine(frame); break;
        }
    }
    void BytesDiscarded(std::span<const std::uint8_t>) override {}
    void FrameOverflowed(std::span<const std::uint8_t>) override {}
    void OverflowRestSkipped(std::span<const std::uint8_t>) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    r7730::fuzzing::TFuzzInput input(data, size);
    const int pieces = 1 + input.SmallInt(4);
    r7730::TReceivePath path;
    TDecodingSink sink;
    const std::string_view bytes = input.RestView();
    std::size_t done = 0;
    for (int piece = 0; piece < pieces; ++piece) {
        const std::size_t end = piece + 1 == pieces ? bytes.size() : bytes.size() * (piece + 1) / pieces;
        path.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data() + done), static_cast<int>(end - done), sink);
        done = end;
    }
    return 0;
}
