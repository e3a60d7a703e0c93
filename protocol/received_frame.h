#pragma once
// What a finished frame means to the program, read from its bytes alone: its message ID, what
// its ID and length call for, and its receive log lines.
//
// The frame is as the receive path hands it over: start byte, the bytes received between, end
// byte. Its own length byte is never read: a reply's length is the number of bytes received.
#include <cstdint>
#include <span>
#include <string>

namespace r7730 {

// What the link does with a finished frame, decided by its ID and length.
enum class TReplyAction {
    ShowStatus,       // 'A' of 43 bytes
    FillScanGrid,     // 'H', any length
    ShowCurrentAp,    // 'I' of 53 bytes
    ShowSignal,       // 'J' of 43 bytes
    AcceptSilently,   // 'B' to 'G': nothing logged but "[EOT]"
    DropWrongLength,  // 'A', 'I' or 'J' of another length: only the receive line
    Unregistered,     // outside 'A'..'J': logged as such and answered with a status read
};

TReplyAction ReplyAction(std::span<const std::uint8_t> frame);
// "RX MSG ID:[0x41] LEN:[43]:[7E. ... FE.]": LEN counts the bytes of the frame.
std::string ReceiveLogLine(std::span<const std::uint8_t> frame);
// "Message ID:[0x53] is Unregistered."
std::string UnregisteredLogLine(std::span<const std::uint8_t> frame);

} // namespace r7730
