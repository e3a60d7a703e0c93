#pragma once
// The simulator's command line.
//
// Principles of operation: every option has a long name and takes its value either as the next
// argument or after "=" (--delay 50, --delay=50). Parsing never exits or prints: it returns the
// options or one message naming the argument that is wrong, and main() decides what to do.
#include "frame_codec.h"
#include "survey_script.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// A setting that saves store wrong (device_model.h), on one unit of the bench or on every unit.
struct StoreWrong {
    int unit = 0; // 0: every unit
    std::string key;
    bool operator==(const StoreWrong&) const = default;
};

struct Options {
    std::string linkPath;                       // symlink to the serial end; empty: the default link
    std::string stateFile;                      // empty: state in memory only
    int replyDelayMs = 0;                       // wait before each reply
    std::vector<std::size_t> chunkSizes;        // split replies into writes of these sizes
    int chunkGapMs = 20;                        // pause between the chunks of a reply
    int mergeCount = 0;                         // 2 or more: hold replies and send that many in one write
    int mergeWaitMs = 500;                      // longest hold of a merged write
    Bytes garbage;                              // bytes written before every reply
    std::optional<std::size_t> statusLength;    // status reply of this total length instead of 43
    std::optional<std::uint8_t> unknownId;      // a frame with this ID before the first reply after each open
    int hangupAfterFrames = 0;                  // close the serial end after this many frames; 0: never
    int replugDelayMs = 1000;                   // after a hang-up, wait this long, then open a new serial end
    double floodRate = 0;                       // status replies per second, unasked; 0: off
    std::optional<std::uint8_t> modelCode;      // overrides the state's model code
    std::vector<StoreWrong> storeWrong;         // settings that saves store wrong
    int unitCount = 0;                          // units plugged in one after another; 0: one unit, never taken away
    int firstUnit = 1;                          // the number of the first of them (its MAC and IP follow from it)
    int takeAwayMs = 1500;                      // a commissioned unit stays this long after its last reboot
    int untouchedUnitMs = -1;                   // a unit answered but never rebooted stays this long; -1: takeAwayMs
    int nextUnitMs = 1000;                      // the bench stays empty this long between units
    std::vector<int> noReturnUnits;             // units that never come back from their first reboot
    int rebootMs = 3000;                        // silence after a save, factory reset or reboot
    std::string logPath = "-";                  // frame log: "-" standard output, else a file
    bool quiet = false;                         // no frame log and no notes
    bool noTerminal = false;                    // never re-launch inside a terminal window
    bool sendEndBytesAsIs = false;              // a stored 254 goes out as 0xFE, cutting the reply
    bool lineFollowsSerial = false;             // understand the program only at the device's own baud rate
    std::string firmwareFetch = "whole";        // how a firmware download goes: whole, halfway, wrong-name, never
    std::optional<std::pair<std::uint8_t, std::uint8_t>> newVersion; // after a whole download; none: minor + 1
    bool help = false;
    SignalValues signalScript;                  // scripted RSSI of the joined access point; empty: fixed
    std::vector<AccessPoint> accessPoints;      // what scans list; empty: the built-in list
};

// Without --link the simulator links its serial end here, in its working folder, where the
// setup window looks for simulated devices; a second simulator takes R7730LX-sim2, and so on.
inline constexpr const char* kDefaultLinkPath = "./dev/R7730LX-sim";

struct ParsedOptions {
    Options options;
    std::string error; // empty when the arguments were fine
};

ParsedOptions parseOptions(const std::vector<std::string>& arguments);
std::string usageText();

} // namespace sim
