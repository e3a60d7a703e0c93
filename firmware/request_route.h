#pragma once
// What the one-file server answers to a request, decided from the method and the path alone
// (the path as the HTTP library hands it over: percent-decoded, without its query). Exactly the
// one path is served, to GET and HEAD; every other path is 404, whatever it holds ("/../",
// encoded separators, the folder "/"), so nothing else of the disk can be reached; any other
// method on the path is 405. Request headers over kMostHeaderBytes in total are refused whole.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace r7730::firmware {

enum class TRoute { Serve, NotFound, MethodNotAllowed };

inline constexpr std::size_t kMostHeaderBytes = 8192;

TRoute RouteRequest(std::string_view method, std::string_view path, std::string_view servedPath);

// A Range header's byte ranges as the library parses them: (first, last), -1 where a number is
// absent ("500-" is (500, -1), the suffix "-500" is (-1, 500)).
using TByteRanges = std::vector<std::pair<ssize_t, ssize_t>>;

// The ranges a file of size bytes can answer, each as (first, last) within the file: a range
// past the end is cut at the end, one that starts past it (or an empty suffix) is dropped. No
// range left means 416.
TByteRanges SatisfiableRanges(const TByteRanges& ranges, std::uint64_t size);

} // namespace r7730::firmware
