#include "bench.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

std::string macText(const std::array<std::uint8_t, 6>& mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

} // namespace

DeviceState unitFactoryState(int unit, const DeviceState& base)
{
    DeviceState state = factoryDefaults(base);
    // Up to unit 255 only the last byte of the MAC differs; beyond, the last two hold the number.
    state.mac[5] = static_cast<std::uint8_t>(unit & 0xFF);
    if (unit > 255)
        state.mac[4] = static_cast<std::uint8_t>(unit >> 8);
    // 192.168.0.101 to .250, then on through 192.168.1.1 to .250, 192.168.2.1, ...
    if (unit <= 150) {
        state.ip = {192, 168, 0, static_cast<std::uint8_t>(100 + unit)};
    } else {
        const int after = unit - 151;
        state.ip = {192, 168, static_cast<std::uint8_t>(1 + after / 250), static_cast<std::uint8_t>(1 + after % 250)};
    }
    return state;
}

Bench::Bench(const Options& options, const DeviceState& single, FrameLog& log)
    : options_(options), base_(single), log_(log),
      signal_(options.signalScript.empty() ? nullptr : std::make_shared<ScriptedSignal>(options.signalScript))
{
    if (options_.unitCount == 0)
        model_.emplace(single, quirksOf(1));
    else
        plugIn(options_.firstUnit);
}

ModelQuirks Bench::quirksOf(int number) const
{
    ModelQuirks quirks{options_.statusLength, {}, options_.sendEndBytesAsIs};
    // One script for the whole bench: the trace goes on from unit to unit.
    quirks.signal = signal_;
    quirks.accessPoints = options_.accessPoints;
    for (const StoreWrong& wrong : options_.storeWrong) {
        auto& keys = quirks.storeWrongKeys;
        // A key named for every unit and for this one is still flipped once, not flipped back.
        if ((wrong.unit == 0 || wrong.unit == number) && std::find(keys.begin(), keys.end(), wrong.key) == keys.end())
            keys.push_back(wrong.key);
    }
    return quirks;
}

void Bench::plugIn(int number)
{
    number_ = number;
    const DeviceState factory = unitFactoryState(number, base_);
    model_.emplace(factory, quirksOf(number), factory);
    silent_ = false;
    rebooted_ = false;
    log_.note("unit " + std::to_string(number) + " (MAC " + macText(factory.mac) + ") plugged in");
}

DeviceModel* Bench::unit()
{
    return model_ && !silent_ ? &*model_ : nullptr;
}

std::string Bench::silence() const
{
    if (!model_)
        return "no unit on the bench";
    if (silent_)
        return "unit " + std::to_string(number_) + " did not come back from its reboot";
    return {};
}

void Bench::answered(TimePoint now)
{
    if (options_.unitCount > 0 && !rebooted_ && !takeAwayAt_)
        takeAwayAt_ = now + std::chrono::milliseconds(options_.untouchedUnitMs >= 0 ? options_.untouchedUnitMs
                                                                                     : options_.takeAwayMs);
}

void Bench::rebootStarted()
{
    rebooted_ = true;
    takeAwayAt_.reset();
}

bool Bench::rebootEnded(TimePoint now)
{
    if (options_.unitCount == 0)
        return true;
    takeAwayAt_ = now + std::chrono::milliseconds(options_.takeAwayMs);
    const auto& noReturn = options_.noReturnUnits;
    if (std::find(noReturn.begin(), noReturn.end(), number_) != noReturn.end()) {
        silent_ = true; // it never reboots again, so this was its first reboot
        log_.note("unit " + std::to_string(number_) + " does not come back from its reboot");
    }
    return !silent_;
}

bool Bench::advance(TimePoint now)
{
    if (nextUnitAt_ && now >= *nextUnitAt_) {
        nextUnitAt_.reset();
        plugIn(number_ + 1);
    }
    if (!takeAwayAt_ || now < *takeAwayAt_)
        return false;
    takeAwayAt_.reset();
    model_.reset();
    silent_ = false;
    if (number_ < options_.firstUnit + options_.unitCount - 1) {
        nextUnitAt_ = now + std::chrono::milliseconds(options_.nextUnitMs);
        log_.note("unit " + std::to_string(number_) + " taken away");
    } else {
        log_.note("unit " + std::to_string(number_) + " taken away; it was the last, the bench stays empty");
    }
    return true;
}

std::optional<Bench::TimePoint> Bench::nextChange() const
{
    return takeAwayAt_ ? takeAwayAt_ : nextUnitAt_; // never both: the bench is empty between them
}

} // namespace sim
