#pragma once
// The event log's frame lines read back into frames:
//   [14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.]                (a tail may follow the "]")
//   [14:03:27]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.41. ... .FE.]
// The stamp is optional, so a message can be read before it is stamped. A line whose count or
// ID disagrees with its bytes holds no frame: it was not written by the program whole.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame_anatomy.h"
#include "protocol/receive_path.h"

namespace r7730 {

struct TLoggedFrame {
    std::optional<int> secondOfDay; // from the "[hh:mm:ss]  " stamp, when there is one
    TFrameSide side = TFrameSide::Command;
    std::vector<std::uint8_t> bytes;
};

// The second of the day of a line's "[hh:mm:ss]  " stamp; nothing when it has none.
std::optional<int> LogLineStamp(std::string_view line);

// The longest frame a frame line can hold: a reply fills the receive buffer between its start
// and end bytes. A count above it is no frame's.
inline constexpr int kMaxLoggedFrameBytes = kRxBufferSize + 2;

// A line read as a frame line. A line that begins like one (its stamp and "TX 0x" or
// "RX MSG ID:[0x") but holds no whole frame has a fault: "bad hex at byte 3", "its length says 43
// bytes, the line holds 42", "an absurd length of 99999 bytes". A line whose bytes stop at its end
// with nothing wrong before is torn: a line cut short, as the last line of a log still being
// written is.
struct TFrameLineReading {
    std::optional<TLoggedFrame> frame; // a whole frame line
    std::string fault;                 // why a line shaped like a frame line holds none
    bool torn = false;                 // with a fault: the bytes stop at the line's end
    std::size_t hexAt = 0;             // with a frame: where its hex text begins in the line
};

// A TX or RX line, stamped or not, a trailing CR ignored; neither frame nor fault for any
// other line.
TFrameLineReading ParseFrameLogLine(std::string_view line);

// The frame of a whole TX or RX line; nothing for any other line, a faulty one included.
std::optional<TLoggedFrame> ReadFrameLogLine(std::string_view line);

// The line as a trace shows it: a frame line with each of its secret bytes (SecretBytes) as
// "**"; any other line as it is. A masked line is read as no frame line, so a trace that decodes
// its lines reads them before masking them.
std::string MaskedFrameLogLine(std::string_view line);

} // namespace r7730
