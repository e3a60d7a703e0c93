#pragma once
// The access points the simulated device "sees" when asked to scan.
//
// Principles of operation: a fixed list, so replies are predictable in tests and demos. SSIDs are
// CP949 bytes, as the device sends them: one is Korean text, and one is longer than the 32-byte
// field so that the field ends on the first byte of a two-byte character (the receiver must drop
// that half character). No byte of the list is 0xFE (it would end a reply frame) or 0x00 (it
// would end the reply's text).
#include "frame_codec.h"

#include <string>
#include <vector>

namespace sim {

struct AccessPoint {
    Bytes ssid;          // CP949 bytes; may be longer than the 32-byte field
    int channel;
    int rssi;            // dBm
    std::string authMode;
};

const std::vector<AccessPoint>& visibleAccessPoints();

// The RSSI of the joined access point: its value in the list, or -65 for one not in the list.
int rssiOf(const Bytes& ssid);

} // namespace sim
