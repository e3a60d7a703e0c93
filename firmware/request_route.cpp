// The one-file server's answer to a request's head (see request_route.h).
#include "firmware/request_route.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace r7730::firmware {
namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameLetters(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&lower](char x, char y) { return lower(x) == lower(y); });
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
        return (c | 0x20) - 'a' + 10;
    return -1;
}

// Digits only; a number past 64 bits is taken as the largest (it lies past any file's end).
std::optional<std::uint64_t> Number(std::string_view digits)
{
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t value = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec != std::errc())
        return std::numeric_limits<std::uint64_t>::max();
    return value;
}

} // namespace

TRoute RouteRequest(std::string_view method, std::string_view path, std::string_view servedPath)
{
    if (path != servedPath)
        return TRoute::NotFound;
    return method == "GET" || method == "HEAD" ? TRoute::Serve : TRoute::MethodNotAllowed;
}

std::string PercentDecoded(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low < 0) {
            decoded += text[i];
            continue;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

std::optional<TRequestHead> ParseRequestHead(std::string_view head)
{
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t firstBlank = requestLine.find(' ');
    const std::size_t lastBlank = requestLine.rfind(' ');
    if (firstBlank == std::string_view::npos || firstBlank == 0 || lastBlank == firstBlank ||
        !requestLine.substr(lastBlank + 1).starts_with("HTTP/1."))
        return std::nullopt;
    TRequestHead parsed;
    parsed.method = requestLine.substr(0, firstBlank);
    const std::string_view target = requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1);
    parsed.path = PercentDecoded(target.substr(0, target.find('?')));
    std::string_view rest = lineEnd == std::string_view::npos ? std::string_view() : head.substr(lineEnd + 2);
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && SameLetters(line.substr(0, colon), "range"))
            parsed.range = std::string(Trimmed(line.substr(colon + 1)));
    }
    return parsed;
}

TRangeAnswer AnswerRange(const std::optional<std::string>& header, std::uint64_t size)
{
    if (!header)
        return {};
    std::string_view ranges = Trimmed(*header);
    if (ranges.size() < 6 || !SameLetters(ranges.substr(0, 6), "bytes="))
        return {};
    ranges.remove_prefix(6);
    std::optional<std::uint64_t> first, last; // of the merged span
    while (true) {
        const std::size_t comma = ranges.find(',');
        const std::string_view oneRange = Trimmed(ranges.substr(0, comma));
        const std::size_t dash = oneRange.find('-');
        if (dash == std::string_view::npos)
            return {};
        const std::optional<std::uint64_t> from = Number(oneRange.substr(0, dash));
        const std::optional<std::uint64_t> to = Number(oneRange.substr(dash + 1));
        if ((!from && dash > 0) || (!to && dash + 1 < oneRange.size()) || (!from && !to))
            return {}; // not a range at all: the header is ignored
        std::optional<std::pair<std::uint64_t, std::uint64_t>> within;
        if (!from) { // the last `to` bytes
            if (*to > 0 && size > 0)
                within.emplace(*to >= size ? 0 : size - *to, size - 1);
        } else if (*from < size && (!to || *to >= *from)) {
            within.emplace(*from, to ? std::min(*to, size - 1) : size - 1);
        }
        if (within) {
            first = std::min(first.value_or(within->first), within->first);
            last = std::max(last.value_or(within->second), within->second);
        }
        if (comma == std::string_view::npos)
            break;
        ranges.remove_prefix(comma + 1);
    }
    if (!first)
        return {TRangeKind::Unsatisfiable};
    return {TRangeKind::Part, *first, *last};
}

} // namespace r7730::firmware
