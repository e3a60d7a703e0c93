#include "protocol/code_page.h"

#include <algorithm>

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace r7730 {
namespace {

// One converter per direction and thread: iconv descriptors keep shift state and are not
// safe to share between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv_open failed for ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can; returns false at a sequence it cannot convert, with `in`
    // and `inLeft` pointing at it.
    bool Run(char*& in, std::size_t& inLeft, std::string& out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[512];
        while (inLeft > 0) {
            char* o = buffer;
            std::size_t oLeft = sizeof buffer;
            std::size_t rc = iconv(cd_, &in, &inLeft, &o, &oLeft);
            out.append(buffer, static_cast<std::size_t>(o - buffer));
            if (rc == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                return false; // EILSEQ or EINVAL (incomplete sequence at the end)
            }
        }
        return true;
    }

private:
    iconv_t cd_;
};

Converter& AnsiToUtf16()
{
    thread_local Converter converter("UTF-16LE", "CP949");
    return converter;
}

Converter& Utf16ToAnsi()
{
    thread_local Converter converter("CP949", "UTF-16LE");
    return converter;
}

std::u16string FromUtf16Le(const std::string& bytes)
{
    std::u16string wide;
    wide.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return wide;
}

std::string ToUtf16Le(std::u16string_view wide)
{
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

// Length in UTF-16 units of the character starting at `i` (2 for a valid surrogate pair).
std::size_t WideCharLength(std::u16string_view wide, std::size_t i)
{
    char16_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
        return 2;
    return 1;
}

std::u16string Utf8ToWide(std::string_view utf8)
{
    std::u16string wide;
    std::size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6 && i + 1 < utf8.size()) {
            cp = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
            len = 2;
        } else if ((c >> 4) == 0xE && i + 2 < utf8.size()) {
            cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
            len = 3;
        } else if ((c >> 3) == 0x1E && i + 3 < utf8.size()) {
            cp = ((c & 0x07) << 18) | ((utf8[i + 1] & 0x3F) << 12) | ((utf8[i + 2] & 0x3F) << 6) |
                 (utf8[i + 3] & 0x3F);
            len = 4;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return wide;
}

std::string WideToUtf8(std::u16string_view wide)
{
    std::string utf8;
    for (std::size_t i = 0; i < wide.size();) {
        char32_t cp = wide[i];
        std::size_t len = WideCharLength(wide, i);
        if (len == 2)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
        i += len;
        if (cp < 0x80) {
            utf8.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return utf8;
}

} // namespace

bool IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

TMbcsByteType ByteTypeAt(std::string_view ansi, std::size_t index)
{
    std::size_t i = 0;
    while (i < index) {
        if (IsLeadByte(static_cast<unsigned char>(ansi[i])))
            ++i; // the next byte is its trail
        ++i;
    }
    if (i > index)
        return TMbcsByteType::mbTrailByte;
    if (index < ansi.size() && IsLeadByte(static_cast<unsigned char>(ansi[index])))
        return TMbcsByteType::mbLeadByte;
    return TMbcsByteType::mbSingleByte;
}

std::u16string AnsiToWide(std::string_view ansi)
{
    std::string input(ansi);
    char* in = input.data();
    std::size_t left = input.size();
    std::string utf16;
    utf16.reserve(ansi.size() * 2);
    while (!AnsiToUtf16().Run(in, left, utf16)) {
        utf16.push_back('\xFD'); // U+FFFD, little-endian
        utf16.push_back('\xFF');
        ++in;
        --left;
    }
    return FromUtf16Le(utf16);
}

std::string WideToAnsi(std::u16string_view wide)
{
    // The code page keeps ASCII as it is; most log lines are nothing else.
    if (std::all_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x80; }))
        return std::string(wide.begin(), wide.end());
    std::string ansi;
    ansi.reserve(wide.size() * 2);
    std::size_t i = 0;
    while (i < wide.size()) {
        // Convert the longest run that converts; on a failure emit '?' for that character.
        std::string run = ToUtf16Le(wide.substr(i));
        char* in = run.data();
        std::size_t left = run.size();
        if (Utf16ToAnsi().Run(in, left, ansi))
            break;
        std::size_t done = (run.size() - left) / 2;
        i += done;
        ansi.push_back('?');
        i += WideCharLength(wide, i);
    }
    return ansi;
}

std::string AnsiToUtf8(std::string_view ansi)
{
    return WideToUtf8(AnsiToWide(ansi));
}

std::optional<std::string> WideToAnsiExactly(std::u16string_view wide)
{
    std::string ansi = WideToAnsi(wide);
    if (AnsiToWide(ansi) != wide)
        return std::nullopt;
    return ansi;
}

std::string Utf8ToAnsi(std::string_view utf8)
{
    return WideToAnsi(Utf8ToWide(utf8));
}

} // namespace r7730
