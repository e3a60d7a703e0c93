#pragma once
// A scripted survey for tests and pictures: the RSSI the device reports for the access point it
// joined, and the access points its scans list.
//
// Principles of operation: the scripted RSSI advances one step per signal reply, never with the
// clock, so a trace is the same however fast or slow it is read; after its last value it starts
// again from the first. A value may be "NOINFO": that reply says the device has joined nothing.
// The values come from a file (numbers or NOINFO, separated by blanks or line ends, "#" begins a
// comment) or from a ramp FROM,TO,STEPS: STEPS values from FROM to TO, both included, evenly
// spread and rounded to whole dBm. The access points come from a file of lines
// CHANNEL,RSSI,AUTH,SSID (the SSID last, so it may hold commas; UTF-8, sent as CP949), at most
// nine, as a scan reply carries one digit for their number.
#include "access_points.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// nullopt: NOINFO.
using SignalValues = std::vector<std::optional<int>>;

class ScriptedSignal {
public:
    explicit ScriptedSignal(SignalValues values) : values_(std::move(values)) {}
    // The value of this reply, and the script moved on by one step.
    std::optional<int> next();

private:
    SignalValues values_;
    std::size_t position_ = 0;
};

// Each returns an error message, empty when the text or file was fine.
std::string parseSignalRamp(const std::string& text, SignalValues& values);
std::string loadSignalFile(const std::string& path, SignalValues& values);
std::string loadAccessPointsFile(const std::string& path, std::vector<AccessPoint>& points);

} // namespace sim
