#include "survey_script.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iconv.h>
#include <sstream>

namespace sim {
namespace {

std::optional<int> wholeNumber(const std::string& text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool rssiInRange(int value)
{
    return value >= -999 && value <= 0; // the scan reply's field has four places
}

std::optional<std::string> readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// UTF-8 to CP949, as the device sends its texts; nullopt when a character has no CP949 form.
std::optional<Bytes> toCp949(const std::string& utf8)
{
    iconv_t convert = iconv_open("CP949", "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char* inPointer = in.data();
    char* outPointer = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t result = iconv(convert, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(convert);
    if (result == static_cast<std::size_t>(-1))
        return std::nullopt;
    return Bytes(out.data(), outPointer);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

std::optional<int> ScriptedSignal::next()
{
    if (values_.empty())
        return std::nullopt;
    const std::optional<int> value = values_[position_];
    position_ = (position_ + 1) % values_.size();
    return value;
}

std::string parseSignalRamp(const std::string& text, SignalValues& values)
{
    std::vector<int> numbers;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::optional<int> number = wholeNumber(text.substr(start, comma - start));
        if (!number)
            return "expects FROM,TO,STEPS, like -80,-40,60";
        numbers.push_back(*number);
        start = comma + 1;
    }
    if (numbers.size() != 3)
        return "expects FROM,TO,STEPS, like -80,-40,60";
    const int from = numbers[0], to = numbers[1], steps = numbers[2];
    if (!rssiInRange(from) || !rssiInRange(to))
        return "expects RSSI values from -999 to 0 dBm";
    if (steps < 2 || steps > 100000)
        return "expects from 2 to 100000 steps";
    values.clear();
    for (int step = 0; step < steps; ++step)
        values.push_back(static_cast<int>(std::lround(from + static_cast<double>(to - from) * step / (steps - 1))));
    return {};
}

std::string loadSignalFile(const std::string& path, SignalValues& values)
{
    const std::optional<std::string> text = readFile(path);
    if (!text)
        return "cannot read the file";
    values.clear();
    std::istringstream lines(*text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word) {
            if (word == "NOINFO") {
                values.push_back(std::nullopt);
                continue;
            }
            const std::optional<int> value = wholeNumber(word);
            if (!value || !rssiInRange(*value))
                return "line " + std::to_string(number) + ": \"" + word + "\" is neither an RSSI from -999 to 0 nor NOINFO";
            values.push_back(*value);
        }
    }
    if (values.empty())
        return "holds no value";
    return {};
}

std::string loadAccessPointsFile(const std::string& path, std::vector<AccessPoint>& points)
{
    const std::optional<std::string> text = readFile(path);
    if (!text)
        return "cannot read the file";
    points.clear();
    std::istringstream lines(*text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (trimmed(line).empty() || trimmed(line)[0] == '#')
            continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (int field = 0; field < 3; ++field) {
            const std::size_t comma = line.find(',', start);
            if (comma == std::string::npos)
                return where + "expects CHANNEL,RSSI,AUTH,SSID";
            fields.push_back(trimmed(line.substr(start, comma - start)));
            start = comma + 1;
        }
        const std::optional<int> channel = wholeNumber(fields[0]);
        const std::optional<int> rssi = wholeNumber(fields[1]);
        if (!channel || *channel < 1 || *channel > 999)
            return where + "the channel is a whole number from 1 to 999";
        if (!rssi || !rssiInRange(*rssi))
            return where + "the RSSI is a whole number from -999 to 0";
        if (fields[2].size() > 12)
            return where + "the authentication takes at most 12 characters";
        const std::optional<Bytes> ssid = toCp949(trimmed(line.substr(start)));
        if (!ssid || ssid->empty())
            return where + "the SSID is empty or has a character CP949 cannot write";
        points.push_back({*ssid, *channel, *rssi, fields[2]});
        if (points.size() > 9)
            return "lists more than nine access points";
    }
    if (points.empty())
        return "lists no access point";
    return {};
}

} // namespace sim
