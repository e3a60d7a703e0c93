#include "survey/channel_load.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace r7730 {
namespace {

constexpr int kOverlap = 2;

std::optional<int> Stronger(std::optional<int> a, std::optional<int> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return std::max(*a, *b);
}

} // namespace

std::vector<TChannelLoad> ChannelLoads(const std::vector<TAccessPointSummary>& accessPoints)
{
    std::map<int, TChannelLoad> byChannel;
    for (int channel = 1; channel <= 13; ++channel)
        byChannel[channel].channel = channel;
    for (const TAccessPointSummary& point : accessPoints) {
        if (point.channel <= 0)
            continue;
        TChannelLoad& load = byChannel[point.channel];
        load.channel = point.channel;
        ++load.accessPoints;
        load.strongest = Stronger(load.strongest, point.rssi.Maximum());
    }
    std::vector<TChannelLoad> loads;
    for (auto& [channel, load] : byChannel) {
        for (const TAccessPointSummary& point : accessPoints) {
            if (point.channel > 0 && std::abs(point.channel - channel) <= kOverlap) {
                ++load.withinReach;
                load.strongestWithinReach = Stronger(load.strongestWithinReach, point.rssi.Maximum());
            }
        }
        loads.push_back(load);
    }
    return loads;
}

int QuietestChannel(const std::vector<TChannelLoad>& loads)
{
    const TChannelLoad* quietest = nullptr;
    auto quieter = [](const TChannelLoad& a, const TChannelLoad& b) {
        if (a.withinReach != b.withinReach)
            return a.withinReach < b.withinReach;
        // No access point within reach is the weakest of all.
        const int weakest = -1000;
        const int strongestA = a.strongestWithinReach.value_or(weakest), strongestB = b.strongestWithinReach.value_or(weakest);
        if (strongestA != strongestB)
            return strongestA < strongestB;
        return a.channel < b.channel;
    };
    for (const TChannelLoad& load : loads) {
        if (load.channel != 1 && load.channel != 6 && load.channel != 11)
            continue;
        if (!quietest || quieter(load, *quietest))
            quietest = &load;
    }
    return quietest ? quietest->channel : 1;
}

} // namespace r7730
