#pragma once
// The device's own serial line: the choices of each of its five settings, in the order of their
// codes. The save command sends an index as a hex digit and the status reply carries it as a
// decimal digit (command_frames.h, reply_decoders.h); these are the texts the indexes stand for.
#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace r7730 {

inline constexpr std::array<std::string_view, 10> kBaudRateChoices = {
    "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400", "460800"};
inline constexpr std::array<std::string_view, 4> kDataBitsChoices = {"5", "6", "7", "8"};
inline constexpr std::array<std::string_view, 2> kStopBitsChoices = {"1", "2"};
inline constexpr std::array<std::string_view, 3> kParityChoices = {"None", "Odd", "Even"};
inline constexpr std::array<std::string_view, 2> kFlowControlChoices = {"RTS/CTS", "None"};

// The index of a text among the choices, ignoring ASCII letter case; nothing when it is none.
std::optional<int> SerialChoiceIndex(std::span<const std::string_view> choices, std::string_view text);

} // namespace r7730
