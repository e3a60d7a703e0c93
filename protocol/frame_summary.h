#pragma once
// One line that says what a frame carries, read from its decoded fields (frame_anatomy.h):
//   status: R7730LX 1.03, 00:1A:2B:3C:4D:5E, 192.168.0.10/24 gw 192.168.0.1, TCP server :8080, 115200 8N1 none
// A frame of the wrong length or with an unregistered ID says so first.
#include <span>
#include <string>
#include <vector>

#include "protocol/frame_anatomy.h"

namespace r7730 {

// UTF-8.
std::string FrameSummary(TFrameSide side, std::span<const std::uint8_t> frame);
// The same from fields DecodeFields already gave for these bytes.
std::string FrameSummary(TFrameSide side, std::span<const std::uint8_t> frame, const std::vector<TDecodedField>& fields);

} // namespace r7730
