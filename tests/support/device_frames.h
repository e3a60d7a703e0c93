#pragma once
// The device's frames as literal bytes for the tests: "7E 05 41 50 FE" -> bytes. Written out here
// rather than built by the program or the simulator, so expected bytes never come from the code
// under test.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace r7730::testing {

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

// A status reply: R7730LX, firmware 1.03, MAC 00:1A:2B:3C:4D:5E, WAN 192.168.0.10 via
// 192.168.0.1 mask 255.255.255.0, server on port 8080 with expiry 10, serial indexes 7 3 0 0 1,
// target 192.168.0.100:80.
inline const Bytes kStatusReply = hex(
    "7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 0A"
    " 37 33 30 30 31 53 00 50 C0 A8 00 64 00 00 FE");

// The status reply of a fresh simulator (factory state, model R7730LX).
inline const Bytes kFactoryStatusReply = hex(
    "7E 2B 41 50 02 01 03 00 1A 2B 3C 4D 5E C0 A8 00 0A C0 A8 00 01 FF FF FF 00 1F 90 1E"
    " 37 33 30 30 31 53 13 88 C0 A8 00 64 00 00 FE");

} // namespace r7730::testing
