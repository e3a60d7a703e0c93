#pragma once
// Rebuilding reply frames from the byte stream.
//
// Bytes are fed in as they arrive, in any split. The path holds the frame being received without
// its start and end bytes (the length byte first, then the message ID, the fixed byte, the
// payload). Rules per byte:
//   0x7E  with 0 or 1 bytes held restarts the frame (not stored; a held byte is discarded);
//         later it is payload;
//   0xFE  ends the frame, wherever it stands (never stored);
//   other bytes are stored. No start byte is required before a frame.
// Whatever the path lets go reaches the sink as bytes, in the order it happens, and the sink
// never needs to ask the path anything: a finished frame; a held byte discarded by a start byte;
// a frame that would grow past the buffer, dropped instead of being written past its end; and
// the rest of that frame, skipped up to and including its end byte.
#include <array>
#include <cstdint>
#include <span>

#include "protocol/frame.h"

namespace r7730 {

inline constexpr int kRxBufferSize = 8192;

class IReceiveSink {
public:
    virtual ~IReceiveSink() = default;
    // A frame ended: start byte, the bytes held, end byte. It is shown with its start byte even
    // when none came. The bytes are the path's own, valid until this returns.
    virtual void FrameCompleted(std::span<const std::uint8_t> frame) = 0;
    // The byte held when a start byte came, dropped by it.
    virtual void BytesDiscarded(std::span<const std::uint8_t> held) = 0;
    // A frame grew past the buffer without an end byte: the bytes held and the one that did not fit.
    virtual void FrameOverflowed(std::span<const std::uint8_t> dropped) = 0;
    // The rest of an overflowed frame, skipped up to and including its end byte; a long rest comes
    // in pieces of the buffer's size and one byte.
    virtual void OverflowRestSkipped(std::span<const std::uint8_t> skipped) = 0;
};

class TReceivePath {
public:
    // Applies the byte rules to each byte in order. An exception from the sink does not stop
    // the pass: the bytes it was handed are let go as usual, the remaining bytes are handled,
    // and the first exception is raised again when the pass is over.
    void Feed(const std::uint8_t* bytes, int count, IReceiveSink& sink);

private:
    class TLetGoAfterward;
    void Take(std::uint8_t byte, IReceiveSink& sink);
    // The start byte, everything held, and `last` (an end byte, or the byte that did not fit).
    std::span<const std::uint8_t> ClosedBy(std::uint8_t last);
    std::span<const std::uint8_t> Held() const;
    void LetGo();

    // RxBuffer[0] is always the start byte, so that a finished frame lies in one piece: the
    // RxCount held bytes follow it, and the slot after them takes the closing byte.
    std::array<std::uint8_t, kRxBufferSize + 2> RxBuffer{kFrameStart};
    std::int32_t RxCount = 0;
    bool skippingOverflow_ = false; // the rest of a dropped frame is being skipped
};

} // namespace r7730
