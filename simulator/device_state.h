#pragma once
// What the simulated device remembers, and its state file.
//
// Principles of operation: the state is a plain struct held in memory; commands change it and
// the status and access point replies are built from it. When a state file is named, the session
// writes the whole state after every change (to a temporary file renamed over the old one), so a
// setting saved through the program survives a restart. The file is "key = value" text, one
// setting a line; texts that may hold CP949 bytes (SSID, password) are stored as hex text. A bad
// line stops loading with its line number and what is wrong.
#include "frame_codec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace sim {

struct DeviceState {
    std::uint8_t modelCode = 2; // 1 Q7760LX, 2 R7730LX
    std::uint8_t firmwareMajor = 1;
    std::uint8_t firmwareMinor = 3;
    std::array<std::uint8_t, 6> mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::array<std::uint8_t, 4> ip{192, 168, 0, 10};
    std::array<std::uint8_t, 4> gateway{192, 168, 0, 1};
    std::array<std::uint8_t, 4> mask{255, 255, 255, 0};
    std::uint16_t listenPort = 8080;
    std::uint8_t expirySeconds = 30;
    // Indexes into the lists of choices: baud 0..9 (7 = 115200), data bits 0..3 (3 = 8),
    // stop bits 0..1, parity 0..2 (0 = None), flow 0..1 (1 = None).
    std::uint8_t baudIndex = 7;
    std::uint8_t dataBitsIndex = 3;
    std::uint8_t stopBitsIndex = 0;
    std::uint8_t parityIndex = 0;
    std::uint8_t flowIndex = 1;
    char tcpMode = 'S'; // 'S' server, 'C' client
    std::uint16_t targetPort = 5000;
    std::array<std::uint8_t, 4> targetIp{192, 168, 0, 100};
    Bytes ssid;     // CP949 bytes without padding; empty: joined to no access point
    Bytes password; // CP949 bytes without padding
    std::uint16_t flashSaveInterval = 0;
    std::uint8_t flashSaveDelay = 0;

    bool operator==(const DeviceState&) const = default;
};

// Factory defaults keep the device's identity (model, firmware, MAC) and reset the rest.
DeviceState factoryDefaults(const DeviceState& identity);

class StateFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string stateToText(const DeviceState& state);
// Throws StateFileError naming the line that is wrong.
DeviceState stateFromText(const std::string& text, const std::string& fileName);

// nullopt when the file does not exist yet; throws StateFileError when it cannot be read or parsed.
std::optional<DeviceState> loadStateFile(const std::string& path);
// Throws StateFileError when the file cannot be written.
void saveStateFile(const std::string& path, const DeviceState& state);

} // namespace sim
