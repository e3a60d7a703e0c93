#pragma once
// Values the device can store but never report back.
//
// A reply ends at its first byte 0xFE, the frame's end byte, so a status or current access point
// reply that would carry a value holding that byte is cut there: a mask 255.255.254.0, a port
// 510 (01 FE), a text whose code page bytes hold an FE. The value may be right and the device
// keeps it; only reading it back is impossible. The window asks before saving such a value;
// r7730ctl refuses it unless told to store it unverified.
#include <vector>

#include "protocol/command_frames.h"

namespace r7730 {

enum class TUnreadableField { Ip, Gateway, SubnetMask, ListenPort, ExpiryTime, TargetIp, TargetPort, Ssid, Password };

// The fields of a value that travel with the byte 0xFE, in the order of the frame.
std::vector<TUnreadableField> UnreadableFields(const TWanSettings& settings);
std::vector<TUnreadableField> UnreadableFields(const TTcpSettings& settings);
std::vector<TUnreadableField> UnreadableFields(const TAccessPoint& accessPoint);
// The serial line travels as digit characters, never as 0xFE.
inline std::vector<TUnreadableField> UnreadableFields(const TSerialSettings&) { return {}; }

} // namespace r7730
