#include "device/frame_observer.h"

#include <algorithm>

namespace r7730 {

void TFrameObservers::Add(IFrameObserver& observer)
{
    observers_.push_back(&observer);
}

void TFrameObservers::Remove(IFrameObserver& observer)
{
    std::erase(observers_, &observer);
}

void TFrameObservers::Notify(TFrameDirection direction, TFrameKind kind, std::span<const std::uint8_t> bytes)
{
    if (observers_.empty())
        return;
    using namespace std::chrono;
    // Two records within one microsecond still get stamps in their order.
    const auto now = duration_cast<microseconds>(steady_clock::now().time_since_epoch());
    lastStamp_ = std::max(now, lastStamp_ + microseconds(1));
    const TObservedFrame frame{lastStamp_, system_clock::now(), direction, kind, {bytes.begin(), bytes.end()}};
    for (IFrameObserver* observer : observers_)
        observer->FrameObserved(frame);
}

void TFrameObservers::NotifyDecoded(const TSignalReply& reply)
{
    for (IFrameObserver* observer : observers_)
        observer->SignalReplyDecoded(reply);
}

void TFrameObservers::NotifyDecoded(const TScanReply& reply)
{
    for (IFrameObserver* observer : observers_)
        observer->ScanReplyDecoded(reply);
}

} // namespace r7730
