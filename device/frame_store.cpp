#include "device/frame_store.h"

#include <algorithm>

#include "protocol/frame.h"
#include "protocol/frame_summary.h"
#include "protocol/hex_text.h"

namespace r7730 {
namespace {

constexpr std::size_t kRememberedContents = 1024;

TFrameStatus StatusOf(TFrameDirection direction, TFrameKind kind, std::span<const std::uint8_t> bytes)
{
    switch (kind) {
    case TFrameKind::Overflowed: return TFrameStatus::Overflowed;
    case TFrameKind::Discarded: return TFrameStatus::Discarded;
    case TFrameKind::Frame: break;
    }
    switch (FrameState(SideOf(direction), bytes)) {
    case TFrameState::WrongLength: return TFrameStatus::WrongLength;
    case TFrameState::Unregistered: return TFrameStatus::Unregistered;
    case TFrameState::Ok: break;
    }
    return TFrameStatus::Ok;
}

QString Plural(std::size_t count, const char* what)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(what), count == 1 ? QString() : QStringLiteral("s"));
}

QString SummaryOf(TFrameDirection direction, TFrameKind kind, std::span<const std::uint8_t> bytes)
{
    switch (kind) {
    case TFrameKind::Overflowed:
        return QStringLiteral("overflowed: %1 without an end byte, dropped").arg(Plural(bytes.size(), "byte"));
    case TFrameKind::Discarded:
        return QStringLiteral("discarded: %1 held before a start byte").arg(Plural(bytes.size(), "byte"));
    case TFrameKind::Frame: break;
    }
    return QString::fromStdString(FrameSummary(SideOf(direction), bytes));
}

} // namespace

TFrameSide SideOf(TFrameDirection direction)
{
    return direction == TFrameDirection::Sent ? TFrameSide::Command : TFrameSide::Reply;
}

TFrameContent DecodeFrameContent(TFrameDirection direction, TFrameKind kind, std::span<const std::uint8_t> bytes)
{
    TFrameContent content;
    content.bytes.assign(bytes.begin(), bytes.end());
    content.status = StatusOf(direction, kind, bytes);
    content.id = kind == TFrameKind::Frame ? FrameMessageId(bytes) : 0;
    content.summary = SummaryOf(direction, kind, bytes);
    content.hex = QString::fromLatin1(HexText(bytes.data(), bytes.size()));
    return content;
}

bool IsError(TFrameStatus status)
{
    return status != TFrameStatus::Ok;
}

TFrameStore::TFrameStore(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

std::shared_ptr<const TFrameContent> TFrameStore::ContentOf(const TObservedFrame& frame)
{
    std::string key;
    key.reserve(frame.bytes.size() + 2);
    key += static_cast<char>(frame.direction);
    key += static_cast<char>(frame.kind);
    key.append(frame.bytes.begin(), frame.bytes.end());
    if (const auto known = contents_.find(key); known != contents_.end())
        return known->second;
    auto content = std::make_shared<const TFrameContent>(DecodeFrameContent(frame.direction, frame.kind, frame.bytes));
    if (contents_.size() >= kRememberedContents)
        contents_.clear();
    contents_.emplace(std::move(key), content);
    return content;
}

void TFrameStore::FrameObserved(const TObservedFrame& frame) noexcept
{
    try {
        TStoredFrame stored;
        stored.sequence = LastSequence() + 1;
        stored.monotonic = frame.monotonic;
        stored.wallClock = frame.wallClock;
        stored.direction = frame.direction;
        stored.kind = frame.kind;
        stored.content = ContentOf(frame);
        const std::uint8_t id = stored.content->id;
        if (frame.kind == TFrameKind::Frame) {
            if (frame.direction == TFrameDirection::Sent) {
                pairing_.Sent(stored.sequence, id, frame.monotonic);
            } else if ((stored.answers = pairing_.Received(id, frame.monotonic))) {
                if (const auto row = RowOf(*stored.answers))
                    stored.latency = frame.monotonic - frames_[*row].monotonic;
            }
            if (id == static_cast<std::uint8_t>(TMessageId::ReadSignalStrength)) {
                auto& last = lastSignal_[frame.direction == TFrameDirection::Sent ? 0 : 1];
                stored.repeatedSignalPoll = last == frame.bytes;
                last = frame.bytes;
            }
        }
        // At the cap the oldest hundredth goes at once: views that follow the store then drop
        // rows now and then instead of with every frame of a flood.
        if (frames_.size() >= capacity_) {
            const std::size_t gone = std::max<std::size_t>(1, capacity_ / 100);
            frames_.erase(frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(gone));
            letGo_ += gone;
        }
        frames_.push_back(std::move(stored));
        if (added_)
            added_();
    } catch (...) {
        // Out of memory: the frame is not kept; the link goes on.
    }
}

std::optional<std::size_t> TFrameStore::RowOf(std::uint64_t sequence) const
{
    if (sequence <= letGo_ || sequence > LastSequence())
        return std::nullopt;
    return static_cast<std::size_t>(sequence - letGo_ - 1);
}

} // namespace r7730
