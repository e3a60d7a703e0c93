#pragma once
// Watching the frames on the line.
//
// Everything the link sends and receives reaches each registered observer as a value, in the
// order it happened: when, which way, what kind, and the bytes. The kinds:
//   Frame       ended by its end byte, whatever its length or ID (whether it makes sense is for
//               the decoders to say); a received one is shown with its start byte, as the
//               receive line of the log shows it, even when none came;
//   Overflowed  dropped because a frame grew past the receive buffer: first the frame so far,
//               then the rest of it up to and including its end byte;
//   Discarded   held bytes dropped by a start byte that followed them.
// Each record carries the monotonic clock in microseconds, later in every record than in the one
// before, so the stamps order the records; and the wall-clock time, for people. A received signal or
// scan reply is then handed over once more as the value the link decoded, so no observer decodes
// the bytes a second time.
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/reply_decoders.h"

namespace r7730 {

enum class TFrameDirection { Sent, Received };
enum class TFrameKind { Frame, Overflowed, Discarded };

struct TObservedFrame {
    std::chrono::microseconds monotonic{};
    std::chrono::system_clock::time_point wallClock{};
    TFrameDirection direction = TFrameDirection::Sent;
    TFrameKind kind = TFrameKind::Frame;
    std::vector<std::uint8_t> bytes;
};

class IFrameObserver {
public:
    virtual ~IFrameObserver() = default;
    // Runs inside the link's send or receive step: it must not throw, and is best kept short.
    virtual void FrameObserved(const TObservedFrame& frame) noexcept = 0;
    // The received frame just observed, as the link decoded it for its listener.
    virtual void SignalReplyDecoded(const TSignalReply&) noexcept {}
    virtual void ScanReplyDecoded(const TScanReply&) noexcept {}
};

// The observers of one link. Adding or removing one from inside FrameObserved is not allowed.
class TFrameObservers {
public:
    void Add(IFrameObserver& observer);
    void Remove(IFrameObserver& observer);
    // Stamps the bytes and hands them to every observer, in the order they were added; with
    // nobody watching, nothing is done.
    void Notify(TFrameDirection direction, TFrameKind kind, std::span<const std::uint8_t> bytes);
    // The last frame notified, decoded, to every observer.
    void NotifyDecoded(const TSignalReply& reply);
    void NotifyDecoded(const TScanReply& reply);

private:
    std::vector<IFrameObserver*> observers_;
    std::chrono::microseconds lastStamp_{std::chrono::microseconds::min()};
};

} // namespace r7730
