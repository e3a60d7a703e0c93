#pragma once
// The simulated device's command handling: one command frame in, reply frames and notes out.
//
// Principles of operation: the model owns the device state and nothing else — no port, no clock.
// handle() takes one complete frame cut out by the CommandReader, checks it against the frame
// tables (length for its ID, the fixed byte 0x50, fixed payload bytes, value ranges), and either
// rejects it with a note or carries it out: read commands get a reply built from the state, save
// commands change the state, are acknowledged with a short frame of their own ID and ask the
// session to "reboot" (stay silent for a while). A reply frame ends at its first 0xFE on the
// receiving side, so every payload byte 0xFE (a stored mask octet of 254, say) is sent as 0xFD,
// with a note saying so.
#include "device_state.h"
#include "survey_script.h"
#include "frame_codec.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// A firmware download the device was told to make (0x55): where from.
struct FirmwareRequest {
    std::array<std::uint8_t, 4> ip{};
    std::uint16_t port = 0;
    Bytes path; // the file-name field without its padding, CP949
};

struct CommandOutcome {
    std::vector<Bytes> replies;     // frames to send, in order
    std::vector<std::string> notes; // what happened, for the device's own output
    bool accepted = false;          // false: the frame was rejected and otherwise ignored
    bool stateChanged = false;
    bool reboot = false;
    std::optional<FirmwareRequest> firmwareDownload; // for the session to fetch (firmware_fetch.h)
};

struct ModelQuirks {
    // Total length of the status reply when a trial wants it wrong (5 to 255); nullopt: 43.
    std::optional<std::size_t> statusReplyLength;
    // Settings (state file keys: ip, mask, listen_port, serial, ssid, ...) that a save stores
    // with the lowest bit flipped, as a failing flash would; empty: every value as received.
    std::vector<std::string> storeWrongKeys;
    // A stored 254 sent as it is (0xFE), which ends the reply early on the program's side;
    // false: sent as 253 (0xFD) with a note.
    bool sendEndBytesAsIs = false;
    // The joined access point's RSSI, one step per signal reply; null: its value in the scan list.
    std::shared_ptr<ScriptedSignal> signal;
    // What scans list; empty: the built-in access points.
    std::vector<AccessPoint> accessPoints;
};

// The state file keys that a save command can store wrong (ModelQuirks::storeWrongKeys).
const std::vector<std::string>& storeWrongKeys();

class DeviceModel {
public:
    // factory: what a factory reset restores; without it, factoryDefaults() of the state.
    explicit DeviceModel(DeviceState state, ModelQuirks quirks = {}, std::optional<DeviceState> factory = {});

    // frame: a complete frame, 0x7E first and 0xFE last.
    CommandOutcome handle(std::span<const std::uint8_t> frame);

    Bytes statusReply(std::vector<std::string>* notes = nullptr) const;
    const DeviceState& state() const { return state_; }
    // A firmware image was fetched whole: the device runs this version from its next start.
    void installFirmware(std::uint8_t major, std::uint8_t minor);

private:
    Bytes scanReply(std::vector<std::string>& notes) const;
    Bytes currentAccessPointReply(std::vector<std::string>& notes) const;
    Bytes signalReply(std::vector<std::string>& notes) const;
    bool applySerialSettings(std::span<const std::uint8_t> payload, CommandOutcome& outcome);
    bool applyTcpSettings(std::span<const std::uint8_t> payload, CommandOutcome& outcome);
    void storeWrong(const std::string& key, std::uint8_t id, CommandOutcome& outcome);

    DeviceState state_;
    DeviceState factory_;
    ModelQuirks quirks_;
};

// The total command length for each message ID of the catalogue; nullopt for an unknown ID.
std::optional<std::size_t> commandLength(std::uint8_t id);

} // namespace sim
