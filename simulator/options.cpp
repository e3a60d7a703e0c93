#include "options.h"

#include "device_model.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace sim {

namespace {

std::optional<long long> parseInteger(const std::string& text)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

constexpr int kMostUnits = 1000;

// The options of the bench only make sense together: units named must be on it, and a state file
// would mix the units' settings.
std::string benchMismatch(const Options& o, const std::vector<std::string>& given)
{
    auto wasGiven = [&given](const char* name) { return std::find(given.begin(), given.end(), name) != given.end(); };
    if (o.unitCount == 0) {
        for (const char* name : {"--no-return", "--take-away-ms", "--next-unit-ms", "--first-unit", "--untouched-unit-ms"})
            if (wasGiven(name))
                return std::string(name) + " only applies with --units";
    } else if (!o.stateFile.empty()) {
        return "--state-file cannot go with --units: every unit starts from its own factory settings";
    }
    const int units = std::max(o.unitCount, 1);
    const int last = o.firstUnit + units - 1;
    if (last > kMostUnits)
        return "--first-unit " + std::to_string(o.firstUnit) + " with --units " + std::to_string(units) +
               " goes beyond unit " + std::to_string(kMostUnits);
    auto beyond = [&](const char* name, int unit) {
        return std::string(name) + " names unit " + std::to_string(unit) + ", but the bench has " +
               (units == 1 ? "unit " + std::to_string(o.firstUnit)
                           : "units " + std::to_string(o.firstUnit) + " to " + std::to_string(last)) +
               " (--first-unit, --units)";
    };
    for (const StoreWrong& wrong : o.storeWrong)
        if (wrong.unit != 0 && (wrong.unit < o.firstUnit || wrong.unit > last))
            return beyond("--store-wrong", wrong.unit);
    for (int unit : o.noReturnUnits)
        if (unit < o.firstUnit || unit > last)
            return beyond("--no-return", unit);
    return {};
}

} // namespace

std::string usageText()
{
    return R"(Usage: Simulator [options]
A simulated R7730LX on a pseudo-terminal. Prints the path of its serial end and of its link,
and answers the setup program's commands until interrupted (Ctrl+C).

  --link PATH          make PATH a symlink to the serial end (removed on exit); without it the
                       link is ./dev/R7730LX-sim in the working folder (the setup window lists
                       it as a simulated device), or R7730LX-sim2, ... when another simulator
                       has that name
  --state-file PATH    keep the device state in PATH (read at start, written on every change);
                       not with --units, whose units each start from their own factory state
  --model N            model code in the status reply (1 Q7760LX, 2 R7730LX; default: from state)
  --reboot-ms N        silence after a save, factory reset or reboot (default 3000)
  --signal-ramp FROM,TO,STEPS  the joined access point's RSSI rises (or falls) from FROM to TO
                       dBm in STEPS steps, one per signal reply (not with the clock), then
                       starts again, e.g. --signal-ramp=-80,-40,60; a device set to no access
                       point reports the first one its scans list as joined
  --signal-file PATH   the RSSI values of the signal replies in turn, then again from the first:
                       numbers or NOINFO, separated by blanks or line ends, # begins a comment
  --access-points PATH what scans list instead of the built-in access points: lines
                       CHANNEL,RSSI,AUTH,SSID (UTF-8, sent as CP949), at most nine
  --store-wrong [UNIT:]KEY  store KEY differently from what a save sent (its lowest bit
                       flipped, as a failing flash would): ip, gateway, mask, listen_port, expiry,
                       mode, target_port, target_ip, serial (the baud rate), ssid or password;
                       with UNIT (--units) only that unit does, without it every unit; repeatable
  --units N            a production bench: N units (1 to 1000) plugged in one after another on
                       the same serial end (the port and its link stay; while no unit answers,
                       frames are read and dropped). Unit K has the MAC 00:1A:2B:3C:4D:KK, K in
                       two hex digits (beyond unit 255 the last two bytes hold K: unit 256 is
                       00:1A:2B:3C:01:00; units 254, 510 and 766 have an FE byte, which replies
                       send as FD), and the usual factory settings but the WAN IP 192.168.0.(100+K);
                       units beyond 150 count on from 192.168.1.1 to 192.168.1.250, then
                       192.168.2.1, and so on. Unit 1 is plugged in at start. Once a unit has
                       come back from a reboot (after a save, factory reset or reboot command), it
                       is taken away when --take-away-ms MS (default 1500) pass without another
                       such command, and a unit that answers but is never rebooted (refused or
                       skipped by the program) --untouched-unit-ms MS (default: --take-away-ms)
                       after its first answer; the bench
                       then stays empty for --next-unit-ms MS (default 1000) before the next unit
                       comes, and stays empty after the last
  --first-unit K       with --units: the bench's units are K, K+1, ... (default 1), so several
                       benches have units of their own MACs and addresses
  --no-return UNIT     with --units: that unit never comes back from its first reboot; it is
                       taken away all the same, --take-away-ms after its reboot would have ended
                       (repeatable)
  --line-follows-serial  understand the program only while its end of the line runs at the
                       device's own serial baud rate, as a device set up over its serial line:
                       after a serial save the program must move to the new rate
  --delay MS           wait MS milliseconds before each reply; a device told to save or restart
                       restarts only once its queued replies have gone out, and until then
                       answers with the settings it started with
  --chunks N[,N...]    write each reply in pieces of these sizes (the last size repeats)
  --chunk-gap MS       pause between pieces (default 20)
  --merge N            hold replies and write N of them at once (or after --merge-wait MS, default 500)
  --garbage HEX        write these bytes before every reply, e.g. --garbage 00.13.37
  --status-length N    send the status reply with N bytes in total instead of 43 (5 to 255)
  --send-254           send a stored 254 (0xFE) in a reply as it is, although the program
                       takes it for the end of the frame (a mask of 255.255.254.0, say)
  --unknown-id HEX     after each open of the port, send one frame with this message ID first
  --hangup-after N     close the serial end after N frames (the port vanishes), then open a new
                       one after --replug-ms MS (default 1000) and move the link to it
  --flood RATE         send status replies unasked, RATE per second, while the port is open
  --firmware-fetch HOW on a firmware download frame whose server is in 127.0.0.0/8 (no other
                       address is ever fetched from; the request leaves from the device's WAN
                       address when that is one of this PC's, 127.0.0.2 say): whole (the
                       default) fetches the file, then reboots with the new version; halfway
                       stops reading at half the file; wrong-name asks for another name; never
                       does not ask
  --new-version M.N    the firmware version after a whole download (default: the minor one up)
  --log PATH           frame log as hex text to PATH ("-": standard output, the default)
  --quiet              no frame log and no notes
  --no-terminal        never re-open inside a terminal window (see below)
  --help               this text

Without a terminal on standard input or output but with a display, the simulator re-opens itself
inside an xterm window, so that it stays visible when started from the setup program.
)";
}

ParsedOptions parseOptions(const std::vector<std::string>& arguments)
{
    ParsedOptions result;
    Options& o = result.options;

    auto integerIn = [](long long low, long long high, int& target) {
        return [low, high, &target](const std::string& value) -> std::string {
            auto number = parseInteger(value);
            if (!number || *number < low || *number > high)
                return "expects a whole number from " + std::to_string(low) + " to " + std::to_string(high);
            target = static_cast<int>(*number);
            return {};
        };
    };
    auto hexByte = [](std::optional<std::uint8_t>& target) {
        return [&target](const std::string& value) -> std::string {
            std::string error;
            auto bytes = parseHexBytes(value, error);
            if (!bytes || bytes->size() != 1)
                return "expects one byte in hex, like 5A";
            target = (*bytes)[0];
            return {};
        };
    };
    int statusLength = 0, modelCode = 0;
    std::vector<std::string> given; // the options with a value that were given, in order

    using Handler = std::function<std::string(const std::string&)>;
    const std::map<std::string, Handler> withValue = {
        {"--link", [&](const std::string& v) -> std::string {
             if (v.empty()) return "expects a path";
             o.linkPath = v;
             return {};
         }},
        {"--state-file", [&](const std::string& v) -> std::string {
             if (v.empty()) return "expects a path";
             o.stateFile = v;
             return {};
         }},
        {"--log", [&](const std::string& v) -> std::string {
             if (v.empty()) return "expects a path or -";
             o.logPath = v;
             return {};
         }},
        {"--model", [&](const std::string& v) -> std::string {
             std::string error = integerIn(0, 255, modelCode)(v);
             if (error.empty() && modelCode == 0xFE) error = "cannot be 254: 0xFE would end the status reply early";
             if (error.empty()) o.modelCode = static_cast<std::uint8_t>(modelCode);
             return error;
         }},
        {"--store-wrong", [&](const std::string& v) -> std::string {
             StoreWrong wrong{0, v};
             if (const auto colon = v.find(':'); colon != std::string::npos) {
                 if (!integerIn(1, kMostUnits, wrong.unit)(v.substr(0, colon)).empty())
                     return "expects a unit number from 1 to " + std::to_string(kMostUnits) + " before the colon, like 2:ip";
                 wrong.key = v.substr(colon + 1);
             }
             const auto& keys = storeWrongKeys();
             if (std::find(keys.begin(), keys.end(), wrong.key) == keys.end())
                 return "expects a setting such as mask, listen_port or serial";
             o.storeWrong.push_back(wrong);
             return {};
         }},
        {"--units", integerIn(1, kMostUnits, o.unitCount)},
        {"--first-unit", integerIn(1, kMostUnits, o.firstUnit)},
        {"--take-away-ms", integerIn(0, 600000, o.takeAwayMs)},
        {"--next-unit-ms", integerIn(0, 600000, o.nextUnitMs)},
        {"--untouched-unit-ms", integerIn(0, 600000, o.untouchedUnitMs)},
        {"--no-return", [&](const std::string& v) -> std::string {
             int unit = 0;
             std::string error = integerIn(1, kMostUnits, unit)(v);
             if (error.empty()) o.noReturnUnits.push_back(unit);
             return error;
         }},
        {"--reboot-ms", integerIn(0, 600000, o.rebootMs)},
        {"--signal-ramp", [&](const std::string& v) { return parseSignalRamp(v, o.signalScript); }},
        {"--signal-file", [&](const std::string& v) { return loadSignalFile(v, o.signalScript); }},
        {"--access-points", [&](const std::string& v) { return loadAccessPointsFile(v, o.accessPoints); }},
        {"--delay", integerIn(0, 600000, o.replyDelayMs)},
        {"--chunk-gap", integerIn(0, 60000, o.chunkGapMs)},
        {"--merge", integerIn(2, 1000, o.mergeCount)},
        {"--merge-wait", integerIn(0, 60000, o.mergeWaitMs)},
        {"--hangup-after", integerIn(1, 1000000, o.hangupAfterFrames)},
        {"--replug-ms", integerIn(0, 600000, o.replugDelayMs)},
        {"--status-length", [&](const std::string& v) -> std::string {
             std::string error = integerIn(5, 255, statusLength)(v);
             if (error.empty()) o.statusLength = static_cast<std::size_t>(statusLength);
             return error;
         }},
        {"--unknown-id", hexByte(o.unknownId)},
        {"--firmware-fetch", [&](const std::string& v) -> std::string {
             if (v != "whole" && v != "halfway" && v != "wrong-name" && v != "never")
                 return "expects whole, halfway, wrong-name or never";
             o.firmwareFetch = v;
             return {};
         }},
        {"--new-version", [&](const std::string& v) -> std::string {
             const auto dot = v.find('.');
             int major = 0, minor = 0;
             if (dot == std::string::npos || !integerIn(0, 253, major)(v.substr(0, dot)).empty() ||
                 !integerIn(0, 253, minor)(v.substr(dot + 1)).empty())
                 return "expects a version like 1.4 (each number 0 to 253)";
             o.newVersion = std::make_pair(static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor));
             return {};
         }},
        {"--garbage", [&](const std::string& v) -> std::string {
             std::string error;
             auto bytes = parseHexBytes(v, error);
             if (!bytes) return "expects hex bytes, like 00.13.37 (" + error + ")";
             o.garbage = *bytes;
             return {};
         }},
        {"--chunks", [&](const std::string& v) -> std::string {
             o.chunkSizes.clear();
             std::size_t start = 0;
             while (start <= v.size()) {
                 const std::size_t comma = std::min(v.find(',', start), v.size());
                 auto size = parseInteger(v.substr(start, comma - start));
                 if (!size || *size < 1 || *size > 4096) return "expects sizes from 1 to 4096 separated by commas, like 1,4,10";
                 o.chunkSizes.push_back(static_cast<std::size_t>(*size));
                 start = comma + 1;
             }
             return {};
         }},
        {"--flood", [&](const std::string& v) -> std::string {
             char* end = nullptr;
             const double rate = std::strtod(v.c_str(), &end);
             if (v.empty() || *end != '\0' || !(rate > 0) || rate > 100000) return "expects replies per second, more than 0 and at most 100000";
             o.floodRate = rate;
             return {};
         }},
    };
    const std::map<std::string, bool*> flags = {
        {"--quiet", &o.quiet}, {"--no-terminal", &o.noTerminal},
        {"--line-follows-serial", &o.lineFollowsSerial}, {"--send-254", &o.sendEndBytesAsIs}, {"--help", &o.help}, {"-h", &o.help}};

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (auto flag = flags.find(name); flag != flags.end()) {
            if (value) {
                result.error = name + " takes no value";
                return result;
            }
            *flag->second = true;
            continue;
        }
        auto option = withValue.find(name);
        if (option == withValue.end()) {
            result.error = "unknown option " + arguments[i];
            return result;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                result.error = name + " needs a value";
                return result;
            }
            value = arguments[++i];
        }
        if (std::string error = option->second(*value); !error.empty()) {
            result.error = name + " " + error + ", not \"" + *value + "\"";
            return result;
        }
        given.push_back(name);
    }
    result.error = benchMismatch(o, given);
    return result;
}

} // namespace sim
