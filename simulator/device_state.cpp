#include "device_state.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <cstdio>
#include <filesystem>

namespace sim {

DeviceState factoryDefaults(const DeviceState& identity)
{
    DeviceState defaults;
    defaults.modelCode = identity.modelCode;
    defaults.firmwareMajor = identity.firmwareMajor;
    defaults.firmwareMinor = identity.firmwareMinor;
    defaults.mac = identity.mac;
    return defaults;
}

namespace {

template <std::size_t N>
std::string dottedDecimal(const std::array<std::uint8_t, N>& octets)
{
    std::string text;
    for (std::size_t i = 0; i < N; ++i)
        text += (i ? "." : "") + std::to_string(octets[i]);
    return text;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Reads a decimal number in [0, max]; nullopt on anything else.
std::optional<unsigned> parseNumber(const std::string& text, unsigned max)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > max)
        return std::nullopt;
    return value;
}

template <std::size_t N>
bool parseOctets(const std::string& text, char separator, int base, std::array<std::uint8_t, N>& out)
{
    std::stringstream stream(text);
    std::string part;
    std::size_t count = 0;
    while (std::getline(stream, part, separator)) {
        if (count == N || part.empty())
            return false;
        char* end = nullptr;
        const long value = std::strtol(part.c_str(), &end, base);
        if (*end != '\0' || value < 0 || value > 255)
            return false;
        out[count++] = static_cast<std::uint8_t>(value);
    }
    return count == N;
}

} // namespace

std::string stateToText(const DeviceState& s)
{
    std::ostringstream out;
    out << "# Simulated device state: one setting a line; texts as hex bytes (CP949).\n";
    out << "model = " << unsigned(s.modelCode) << "\n";
    out << "firmware = " << unsigned(s.firmwareMajor) << "." << unsigned(s.firmwareMinor) << "\n";
    std::string mac = hexText(s.mac);
    mac.pop_back();
    for (char& c : mac)
        if (c == '.') c = ':';
    out << "mac = " << mac << "\n";
    out << "ip = " << dottedDecimal(s.ip) << "\n";
    out << "gateway = " << dottedDecimal(s.gateway) << "\n";
    out << "mask = " << dottedDecimal(s.mask) << "\n";
    out << "listen_port = " << s.listenPort << "\n";
    out << "expiry = " << unsigned(s.expirySeconds) << "\n";
    out << "serial = " << unsigned(s.baudIndex) << "," << unsigned(s.dataBitsIndex) << ","
        << unsigned(s.stopBitsIndex) << "," << unsigned(s.parityIndex) << "," << unsigned(s.flowIndex) << "\n";
    out << "mode = " << s.tcpMode << "\n";
    out << "target_port = " << s.targetPort << "\n";
    out << "target_ip = " << dottedDecimal(s.targetIp) << "\n";
    out << "ssid = " << hexText(s.ssid) << "\n";
    out << "password = " << hexText(s.password) << "\n";
    out << "flash_save_interval = " << s.flashSaveInterval << "\n";
    out << "flash_save_delay = " << unsigned(s.flashSaveDelay) << "\n";
    return out.str();
}

DeviceState stateFromText(const std::string& text, const std::string& fileName)
{
    DeviceState s;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string where = fileName + ", line " + std::to_string(lineNumber) + ": ";
        const std::string content = trimmed(line);
        if (content.empty() || content[0] == '#')
            continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos)
            throw StateFileError(where + "expected \"key = value\", found \"" + content + "\"");
        const std::string key = trimmed(content.substr(0, equals));
        const std::string value = trimmed(content.substr(equals + 1));
        auto bad = [&](const std::string& expected) {
            return StateFileError(where + "\"" + value + "\" is not " + expected + " (key " + key + ")");
        };
        auto number = [&](unsigned max) {
            auto parsed = parseNumber(value, max);
            if (!parsed)
                throw bad("a number from 0 to " + std::to_string(max));
            return *parsed;
        };
        auto octets = [&](std::array<std::uint8_t, 4>& out) {
            if (!parseOctets(value, '.', 10, out))
                throw bad("an address like 192.168.0.10");
        };
        auto text = [&](Bytes& out, std::size_t maxLength) {
            if (value.empty()) {
                out.clear();
                return;
            }
            std::string error;
            auto bytes = parseHexBytes(value, error);
            if (!bytes || bytes->size() > maxLength)
                throw bad("hex text of at most " + std::to_string(maxLength) + " bytes");
            out = *bytes;
        };
        if (key == "model") s.modelCode = static_cast<std::uint8_t>(number(255));
        else if (key == "firmware") {
            std::array<std::uint8_t, 2> version{};
            if (!parseOctets(value, '.', 10, version))
                throw bad("a version like 1.3");
            s.firmwareMajor = version[0];
            s.firmwareMinor = version[1];
        } else if (key == "mac") {
            if (!parseOctets(value, ':', 16, s.mac))
                throw bad("a MAC address like 00:1A:2B:3C:4D:5E");
        } else if (key == "ip") octets(s.ip);
        else if (key == "gateway") octets(s.gateway);
        else if (key == "mask") octets(s.mask);
        else if (key == "listen_port") s.listenPort = static_cast<std::uint16_t>(number(65535));
        else if (key == "expiry") s.expirySeconds = static_cast<std::uint8_t>(number(255));
        else if (key == "serial") {
            std::array<std::uint8_t, 5> indexes{};
            if (!parseOctets(value, ',', 10, indexes) || indexes[0] > 9 || indexes[1] > 3 || indexes[2] > 1 ||
                indexes[3] > 2 || indexes[4] > 1)
                throw bad("five indexes baud,data,stop,parity,flow like 7,3,0,0,1");
            s.baudIndex = indexes[0];
            s.dataBitsIndex = indexes[1];
            s.stopBitsIndex = indexes[2];
            s.parityIndex = indexes[3];
            s.flowIndex = indexes[4];
        } else if (key == "mode") {
            if (value != "S" && value != "C")
                throw bad("S or C");
            s.tcpMode = value[0];
        } else if (key == "target_port") s.targetPort = static_cast<std::uint16_t>(number(65535));
        else if (key == "target_ip") octets(s.targetIp);
        else if (key == "ssid") text(s.ssid, 32);
        else if (key == "password") text(s.password, 16);
        else if (key == "flash_save_interval") s.flashSaveInterval = static_cast<std::uint16_t>(number(65535));
        else if (key == "flash_save_delay") s.flashSaveDelay = static_cast<std::uint8_t>(number(255));
        else
            throw StateFileError(where + "unknown key \"" + key + "\"");
    }
    return s;
}

std::optional<DeviceState> loadStateFile(const std::string& path)
{
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored))
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw StateFileError("cannot read the state file " + path + ": " + std::strerror(errno));
    }
    std::ostringstream content;
    content << file.rdbuf();
    return stateFromText(content.str(), path);
}

void saveStateFile(const std::string& path, const DeviceState& state)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            throw StateFileError("cannot write the state file " + temporary + ": " + std::strerror(errno));
        file << stateToText(state);
        file.flush();
        if (!file)
            throw StateFileError("cannot write the state file " + temporary + ": " + std::strerror(errno));
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        throw StateFileError("cannot replace the state file " + path + ": " + std::strerror(errno));
}

} // namespace sim
