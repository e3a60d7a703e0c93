#include "protocol/receive_path.h"

#include <algorithm>
#include <exception>

namespace r7730 {

// Lets the held bytes go once the sink has seen them, even when it throws.
class TReceivePath::TLetGoAfterward {
public:
    explicit TLetGoAfterward(TReceivePath& path) : path_(path) {}
    ~TLetGoAfterward() { path_.LetGo(); }
    TLetGoAfterward(const TLetGoAfterward&) = delete;
    TLetGoAfterward& operator=(const TLetGoAfterward&) = delete;

private:
    TReceivePath& path_;
};

void TReceivePath::Feed(const std::uint8_t* bytes, int count, IReceiveSink& sink)
{
    std::exception_ptr firstError;
    for (int i = 0; i < count; ++i) {
        try {
            Take(bytes[i], sink);
        } catch (...) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

void TReceivePath::Take(std::uint8_t byte, IReceiveSink& sink)
{
    const bool full = RxCount >= kRxBufferSize;
    if (skippingOverflow_) {
        if (byte == kFrameEnd || full) {
            skippingOverflow_ = byte != kFrameEnd;
            const TLetGoAfterward letGo(*this);
            sink.OverflowRestSkipped(ClosedBy(byte).subspan(1));
            return;
        }
    } else if (byte == kFrameStart && RxCount <= 1) {
        if (RxCount == 1) {
            const TLetGoAfterward letGo(*this);
            sink.BytesDiscarded(Held());
        }
        return;
    } else if (byte == kFrameEnd) {
        const TLetGoAfterward letGo(*this);
        sink.FrameCompleted(ClosedBy(byte));
        return;
    } else if (full) {
        skippingOverflow_ = true;
        const TLetGoAfterward letGo(*this);
        sink.FrameOverflowed(ClosedBy(byte).subspan(1));
        return;
    }
    RxBuffer[static_cast<std::size_t>(++RxCount)] = byte;
}

std::span<const std::uint8_t> TReceivePath::Held() const
{
    return {RxBuffer.data() + 1, static_cast<std::size_t>(RxCount)};
}

std::span<const std::uint8_t> TReceivePath::ClosedBy(std::uint8_t last)
{
    RxBuffer[static_cast<std::size_t>(RxCount) + 1] = last;
    return {RxBuffer.data(), static_cast<std::size_t>(RxCount) + 2};
}

void TReceivePath::LetGo()
{
    std::fill_n(RxBuffer.begin() + 1, RxCount + 1, std::uint8_t{0});
    RxCount = 0;
}

} // namespace r7730
