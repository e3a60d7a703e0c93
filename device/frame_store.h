#pragma once
// Every frame since start-up, for the frames window: each one numbered in the order it was
// seen, decoded once, a reply paired with the request it answers.
//
// The store watches a link as a frame observer. It keeps up to kCapacity frames, the newest, and
// counts the older ones it let go (a hundredth of the capacity at a time). Sequence numbers never
// repeat, so a frame keeps its number (and a log line that names it keeps finding it) while it
// is kept. Identical frames share one decoded content, so a flood of the same reply costs little
// more than its numbers. Window-free.
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/frame_observer.h"
#include "protocol/frame_anatomy.h"
#include "protocol/request_pairing.h"

namespace r7730 {

// A frame's state: the link's kinds, and for a whole frame what its bytes make of it.
enum class TFrameStatus { Ok, WrongLength, Unregistered, Overflowed, Discarded };

// What identical frames share: the bytes and what they say.
struct TFrameContent {
    std::vector<std::uint8_t> bytes;
    TFrameStatus status = TFrameStatus::Ok;
    std::uint8_t id = 0;   // the message ID; 0 for dropped bytes
    QString summary;       // one line (frame_summary.h)
    QString hex;           // "7E.05.41.50.FE.", as the log writes it
};

struct TStoredFrame {
    std::uint64_t sequence = 0; // 1 for the first frame seen
    std::chrono::microseconds monotonic{};
    std::chrono::system_clock::time_point wallClock{};
    TFrameDirection direction = TFrameDirection::Sent;
    TFrameKind kind = TFrameKind::Frame;
    // A signal strength read or reply identical to the one before it in its direction.
    bool repeatedSignalPoll = false;
    std::shared_ptr<const TFrameContent> content;
    std::optional<std::uint64_t> answers;             // a reply: the request it answers
    std::optional<std::chrono::microseconds> latency; // a reply: since that request
};

TFrameSide SideOf(TFrameDirection direction);
// What a frame's bytes make: its state, ID, one-line summary and hex text. The one decoding that
// the store and a daily log read back both use.
TFrameContent DecodeFrameContent(TFrameDirection direction, TFrameKind kind, std::span<const std::uint8_t> bytes);
bool IsError(TFrameStatus status);

class TFrameStore : public IFrameObserver {
public:
    static constexpr std::size_t kCapacity = 100000;

    explicit TFrameStore(std::size_t capacity = kCapacity);

    void FrameObserved(const TObservedFrame& frame) noexcept override;

    // Told after each frame added (inside the link's step: it must be short and not throw).
    void SetAddedCallback(std::function<void()> added) { added_ = std::move(added); }

    std::size_t Size() const { return frames_.size(); }
    // The most frames kept.
    std::size_t Capacity() const { return capacity_; }
    // Row 0 is the oldest frame kept.
    const TStoredFrame& At(std::size_t row) const { return frames_[row]; }
    // Frames let go to stay within the capacity; the oldest kept has the number after them.
    std::uint64_t LetGo() const { return letGo_; }
    std::uint64_t LastSequence() const { return letGo_ + frames_.size(); }
    std::optional<std::size_t> RowOf(std::uint64_t sequence) const;
    const TStoredFrame* Newest() const { return frames_.empty() ? nullptr : &frames_.back(); }

private:
    std::shared_ptr<const TFrameContent> ContentOf(const TObservedFrame& frame);

    std::size_t capacity_;
    std::deque<TStoredFrame> frames_;
    std::uint64_t letGo_ = 0;
    TRequestPairing pairing_;
    // Decoded contents by direction, kind and bytes; forgotten wholesale when it grows big.
    std::unordered_map<std::string, std::shared_ptr<const TFrameContent>> contents_;
    // The last signal strength frame's bytes, by direction.
    std::vector<std::uint8_t> lastSignal_[2];
    std::function<void()> added_;
};

} // namespace r7730
