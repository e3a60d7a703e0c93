#pragma once
// Rebuilding reply frames from the byte stream.
//
// Bytes are fed in as they arrive, in any split. The held frame lives in RxBuffer without its
// start and end bytes (index 0 the length byte, 1 the message ID, 2 the fixed byte, 3 on the
// payload); RxCount is the number of bytes held. Rules per byte:
//   0x7E  with 0 or 1 bytes held restarts the frame (not stored); later it is payload;
//   0xFE  ends the frame, wherever it stands (never stored);
//   other bytes are stored. No start byte is required before a frame.
// At the end byte the sink sees the held frame, then the buffer is zeroed. A frame that would
// grow past the buffer is dropped (the sink is told) instead of being written past its end,
// together with the rest of it: everything up to and including its end byte is skipped.
#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace r7730 {

inline constexpr int kRxBufferSize = 8192;

// What the receive path does with a finished frame, decided by its ID and held length.
enum class TReplyAction {
    ShowStatus,       // 'A' with 41 bytes held
    FillScanGrid,     // 'H', any length
    ShowCurrentAp,    // 'I' with 51 bytes held
    ShowSignal,       // 'J' with 41 bytes held
    AcceptSilently,   // 'B' to 'G': nothing logged but "[EOT]"
    DropWrongLength,  // 'A', 'I' or 'J' of another length: only the receive line
    Unregistered,     // outside 'A'..'J': logged as such and answered with a status read
};

class IReceiveSink {
public:
    virtual ~IReceiveSink() = default;
    // A frame ended; RxBuffer and RxCount hold it until this returns.
    virtual void FrameCompleted() = 0;
    // A frame grew past the buffer without an end byte and was dropped.
    virtual void FrameOverflowed(int droppedBytes) = 0;
};

class TReceivePath {
public:
    std::array<std::uint8_t, kRxBufferSize> RxBuffer{};
    std::int32_t RxCount = 0;

    // Applies the byte rules to each byte in order. An exception from the sink does not stop
    // the pass: the frame is reset as usual, the remaining bytes are handled, and the first
    // exception is raised again when the pass is over.
    void Feed(const std::uint8_t* bytes, int count, IReceiveSink& sink);

    // The ID of the held frame: RxBuffer[1], or 0 with fewer than two bytes held.
    std::uint8_t MessageId() const { return RxCount >= 2 ? RxBuffer[1] : 0; }
    TReplyAction Action() const;

    // The held frame as it came on the line: start byte, held bytes, end byte.
    std::vector<std::uint8_t> Frame() const;
    // "7E." + each held byte as "HH." + "FE.".
    std::string FrameHexText() const;
    // "RX MSG ID:[0x41] LEN:[43]:[7E. ... FE.]" — LEN counts the bytes received.
    std::string ReceiveLogLine() const;
    // "Message ID:[0x53] is Unregistered."
    std::string UnregisteredLogLine() const;

    void Reset();

private:
    void Store(std::uint8_t byte, IReceiveSink& sink);

    bool skippingOverflow_ = false; // the rest of a dropped frame is being skipped
};

} // namespace r7730
