#pragma once
// What the one-file server answers to a request, decided from its head alone. Exactly the one
// path is served (percent-decoded, without its query), to GET and HEAD; every other path is 404,
// whatever it holds ("/../", encoded separators, the folder "/"), so nothing else of the disk
// can be reached; any other method on the path is 405. A head over kMostHeaderBytes is refused
// whole (431).
//
// A Range header is answered with one piece of the file, never more than the file: its ranges
// are cut at the file's end and merged into the one span from the first byte any of them asks
// for to the last, so twenty copies of "1-" are one answer of the file less its first byte. A
// header of another unit, or one that does not parse, is ignored (the file whole); ranges that
// all lie past the end, or run backwards ("5-1"), cannot be answered (416).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace r7730::firmware {

enum class TRoute { Serve, NotFound, MethodNotAllowed };

inline constexpr std::size_t kMostHeaderBytes = 8192;

TRoute RouteRequest(std::string_view method, std::string_view path, std::string_view servedPath);

// A request's head as far as the server needs it.
struct TRequestHead {
    std::string method;
    std::string path;                 // percent-decoded, without the query
    std::optional<std::string> range; // the Range header's value
};

// The head's bytes before its blank line; nothing when its first line is no HTTP/1 request line.
std::optional<TRequestHead> ParseRequestHead(std::string_view head);

// "%41" is "A"; a "%" not followed by two hex digits stays as it is.
std::string PercentDecoded(std::string_view text);

enum class TRangeKind { Whole, Part, Unsatisfiable };

struct TRangeAnswer {
    TRangeKind kind = TRangeKind::Whole;
    std::uint64_t first = 0; // Part: the span's first and last byte within the file
    std::uint64_t last = 0;
};

// The answer to a Range header (nothing: none came) for a file of size bytes.
TRangeAnswer AnswerRange(const std::optional<std::string>& header, std::uint64_t size);

} // namespace r7730::firmware
