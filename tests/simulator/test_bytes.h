#pragma once
// Literal byte strings for the simulator's tests: "7E 05 41 50 FE" -> bytes. Written here rather
// than borrowed from the simulator, so expected bytes never come from the code under test.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes hex(std::string_view text)
{
    Bytes bytes;
    int high = -1;
    for (char c : text) {
        int value = -1;
        if (c >= '0' && c <= '9') value = c - '0';
        else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
        if (value < 0)
            continue;
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    return bytes;
}

inline Bytes text(std::string_view characters)
{
    return Bytes(characters.begin(), characters.end());
}

inline Bytes blanks(std::size_t count)
{
    return Bytes(count, ' ');
}

inline Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The status reply of a fresh simulator (factory state, model R7730LX).
inline const Bytes kFactoryStatusReply = hex(
    "7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 1E"
    " 37 33 30 30 31 53 13 88 C0 A8 00 64 00 00 FE");

} // namespace simtest
