#include "protocol/hex_text.h"

#include "protocol/code_page.h"
#include "protocol/conversion_error.h"

namespace r7730 {
namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads hex digits (at most 8, so the value fits 32 bits); false when anything else stands.
bool ParseHexDigits(std::string_view digits, std::uint32_t& value)
{
    if (digits.empty() || digits.size() > 8)
        return false;
    value = 0;
    for (char c : digits) {
        int d = HexDigitValue(c);
        if (d < 0)
            return false;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
}

} // namespace

std::string ByteToHex(std::uint8_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 0x0F]};
}

std::string CharToHex(std::string_view text)
{
    return ByteToHex(text.empty() ? 0 : static_cast<std::uint8_t>(text[0]));
}

std::int32_t HexToInt(std::string_view text)
{
    std::uint32_t value = 0;
    if (!ParseHexDigits(text, value))
        throw EConvertError::InvalidInteger("$" + std::string(text));
    return static_cast<std::int32_t>(value);
}

char NibbleToHexChar(std::uint32_t value)
{
    if (value <= 9)
        return static_cast<char>('0' + value);
    if (value <= 15)
        return static_cast<char>('A' + value - 10);
    return '0';
}

int HexCharToNibble(char c)
{
    int d = HexDigitValue(c);
    return d < 0 ? 0 : d;
}

std::uint8_t HexPairToByte(std::string_view text)
{
    if (text.size() < 2 || HexDigitValue(text[0]) < 0 || HexDigitValue(text[1]) < 0)
        return 0;
    return static_cast<std::uint8_t>(16 * HexCharToNibble(text[0]) + HexCharToNibble(text[1]));
}

std::string CopyMbcs(std::string_view text, int from, int count, bool pad)
{
    const int length = static_cast<int>(text.size());
    if (from < 1)
        from = 1;
    if (from > length || count <= 0)
        return {};
    if (from + count - 1 > length)
        count = length - from + 1;

    std::string tail;
    if (ByteTypeAt(text, static_cast<std::size_t>(from - 1)) == TMbcsByteType::mbTrailByte) {
        ++from;
        --count;
        if (pad)
            tail += ' ';
    }
    if (count > 0 &&
        ByteTypeAt(text, static_cast<std::size_t>(from + count - 2)) == TMbcsByteType::mbLeadByte) {
        --count;
        if (pad)
            tail += ' ';
    }
    if (count <= 0)
        return tail;
    return std::string(text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count))) + tail;
}

std::string PadLeft(std::string_view text, int width, char pad)
{
    if (pad == '\0')
        pad = ' ';
    if (width < 0)
        width = 0;
    const auto w = static_cast<std::size_t>(width);
    if (w < text.size())
        return std::string(text.substr(0, w));
    return std::string(w - text.size(), pad) + std::string(text);
}

std::string HexText(const std::uint8_t* bytes, std::size_t count)
{
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        text += ByteToHex(bytes[i]);
        text += '.';
    }
    return text;
}

std::string HexText(std::string_view bytes)
{
    return HexText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

std::int32_t StrToInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::string_view rest = text.substr(i);
    std::int64_t value = 0;
    if (!rest.empty() && (rest[0] == '$' || (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')))) {
        std::uint32_t hex = 0;
        if (!ParseHexDigits(rest.substr(rest[0] == '$' ? 1 : 2), hex))
            throw EConvertError::InvalidInteger(std::string(text));
        value = static_cast<std::int32_t>(hex);
    } else {
        if (rest.empty())
            throw EConvertError::InvalidInteger(std::string(text));
        for (char c : rest) {
            if (c < '0' || c > '9')
                throw EConvertError::InvalidInteger(std::string(text));
            value = value * 10 + (c - '0');
            if (value > 2147483648LL)
                throw EConvertError::InvalidInteger(std::string(text));
        }
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL || value < -2147483648LL)
        throw EConvertError::InvalidInteger(std::string(text));
    return static_cast<std::int32_t>(value);
}

std::string Trim(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return std::string(text.substr(begin, end - begin));
}

} // namespace r7730
