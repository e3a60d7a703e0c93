// Bytes from the line, in any split, through the receive path and the decoder of every frame it
// finishes, the way the device link dispatches them.
#include <cstdint>
#include <vector>

#include "fuzz_input.h"
#include "protocol/conversion_error.h"
#include "protocol/receive_path.h"
#include "protocol/reply_decoders.h"

namespace {

class TDecodingSink : public r7730::IReceiveSink {
public:
    explicit TDecodingSink(const r7730::TReceivePath& path) : path_(path) {}
    void FrameCompleted() override
    {
        using r7730::TReplyAction;
        const std::vector<std::uint8_t> frame = path_.Frame();
        (void)path_.ReceiveLogLine();
        switch (path_.Action()) {
        case TReplyAction::ShowStatus: (void)r7730::DecodeStatusReply(frame); break;
        case TReplyAction::FillScanGrid: (void)r7730::DecodeScanReply(frame); break;
        case TReplyAction::ShowCurrentAp: (void)r7730::DecodeCurrentApReply(frame); break;
        case TReplyAction::ShowSignal: (void)r7730::DecodeSignalReply(frame); break;
        default: (void)path_.UnregisteredLogLine(); break;
        }
    }
    void FrameOverflowed(int) override {}

private:
    const r7730::TReceivePath& path_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    r7730::fuzzing::TFuzzInput input(data, size);
    const int pieces = 1 + input.SmallInt(4);
    r7730::TReceivePath path;
    TDecodingSink sink(path);
    const std::string_view bytes = input.RestView();
    std::size_t done = 0;
    for (int piece = 0; piece < pieces; ++piece) {
        const std::size_t end = piece + 1 == pieces ? bytes.size() : bytes.size() * (piece + 1) / pieces;
        path.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data() + done), static_cast<int>(end - done), sink);
        done = end;
    }
    return 0;
}
