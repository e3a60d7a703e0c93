#pragma once
// The production bench: the unit on the serial cable, and with --units the next ones.
//
// Principles of operation: the bench holds the device model of the unit plugged in. Without
// --units that is the one unit of the simulator's state, there for good. With --units N, unit 1
// is plugged in at start; a unit is commissioned once it has come back from a reboot (the session
// tells the bench when a reboot starts and ends), and it is taken away when --take-away-ms pass
// after that without another reboot. A unit that is asked something but never rebooted (one the
// program refused or skipped) is taken away --take-away-ms after it first answered. The bench is then empty for --next-unit-ms, and unit K+1
// comes with its own factory state; after the last unit it stays empty. A --no-return unit does
// not come back from its first reboot: it stays silent until it is taken away. The bench keeps
// no clock of its own: the session hands it the time and folds its next deadline into poll.
#include "device_model.h"
#include "frame_log.h"
#include "options.h"

#include <chrono>
#include <optional>
#include <string>

namespace sim {

// The factory state of unit K of a bench: base (model code, firmware, everything else) with the
// unit's own MAC and WAN IP.
DeviceState unitFactoryState(int unit, const DeviceState& base);

class Bench {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // single: the state of the one unit without --units, the base of every unit with it.
    Bench(const Options& options, const DeviceState& single, FrameLog& log);

    // The unit that answers; nullptr while the bench is empty or its unit stays silent.
    DeviceModel* unit();
    // Why nothing answers, for the notes ("no unit on the bench"); empty while a unit answers.
    std::string silence() const;

    // The unit handled a frame: a unit never rebooted starts to count towards its taking away.
    void answered(TimePoint now);
    void rebootStarted();
    // Returns false when the unit does not come back (--no-return).
    bool rebootEnded(TimePoint now);

    // Takes the unit away or plugs in the next when due; true when a unit was just taken away.
    bool advance(TimePoint now);
    std::optional<TimePoint> nextChange() const;

private:
    void plugIn(int number);
    ModelQuirks quirksOf(int number) const;

    const Options& options_;
    DeviceState base_;
    FrameLog& log_;
    int number_ = 1;          // the unit plugged in, or the last one taken away (from --first-unit)
    std::shared_ptr<ScriptedSignal> signal_; // null without a scripted signal
    std::optional<DeviceModel> model_;
    bool silent_ = false;     // a --no-return unit after its reboot
    bool rebooted_ = false;   // the unit plugged in has rebooted at least once
    std::optional<TimePoint> takeAwayAt_;
    std::optional<TimePoint> nextUnitAt_;
};

} // namespace sim
