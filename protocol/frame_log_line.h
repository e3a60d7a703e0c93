#pragma once
// The event log's frame lines read back into frames:
//   [14:03:27]  TX 0x41 : [5][7E.05.41.50.FE.]                (a tail may follow the "]")
//   [14:03:27]  RX MSG ID:[0x41] LEN:[43]:[7E.2B.41. ... .FE.]
// The stamp is optional, so a message can be read before it is stamped. A line whose count or
// ID disagrees with its bytes is no frame line: it was not written by the program whole.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame_anatomy.h"

namespace r7730 {

struct TLoggedFrame {
    std::optional<int> secondOfDay; // from the "[hh:mm:ss]  " stamp, when there is one
    TFrameSide side = TFrameSide::Command;
    std::vector<std::uint8_t> bytes;
};

// The second of the day of a line's "[hh:mm:ss]  " stamp; nothing when it has none.
std::optional<int> LogLineStamp(std::string_view line);

// A TX or RX line, stamped or not, a trailing CR ignored; nothing for any other line.
std::optional<TLoggedFrame> ReadFrameLogLine(std::string_view line);

// The line as a trace shows it: a frame line with each of its secret bytes (SecretBytes) as
// "**"; any other line as it is. A masked line is read as no frame line, so a trace that decodes
// its lines reads them before masking them.
std::string MaskedFrameLogLine(std::string_view line);

} // namespace r7730
