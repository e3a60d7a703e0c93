#pragma once
// How crowded each WiFi channel is, from the access points of a session.
//
// A 20 MHz channel overlaps the two channels on either side of it, so an access point on channel
// 4 disturbs channels 2 to 6. The quietest of the channels that do not overlap each other (1, 6
// and 11) is the one with the fewest access points within two channels either side; among
// equals, the one whose strongest access point within that reach is the weaker (none at all is
// weakest), then the lower channel.
#include <optional>
#include <vector>

#include "survey/survey_session.h"

namespace r7730 {

struct TChannelLoad {
    int channel = 0;
    int accessPoints = 0;           // on this channel
    std::optional<int> strongest;   // the strongest RSSI seen on this channel
    int withinReach = 0;            // on this channel and the two either side
    std::optional<int> strongestWithinReach;
};

// Channels 1 to 13, and 14 and any higher channel when an access point is on it, in order.
// An access point counts with the strongest RSSI it was seen with; one whose channel is not
// a number counts nowhere.
std::vector<TChannelLoad> ChannelLoads(const std::vector<TAccessPointSummary>& accessPoints);

// The quietest of channels 1, 6 and 11 (see above).
int QuietestChannel(const std::vector<TChannelLoad>& loads);

} // namespace r7730
