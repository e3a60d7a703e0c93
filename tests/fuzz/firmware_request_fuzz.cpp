// What the one-file server decides of its own for a request: the answer to a method and a path,
// the Range header's ranges brought within the file, the tally of the bytes served, and whether
// an image looks like text. Whatever comes in: the file is served only at its exact path, every
// range answered lies within the file, and the tally never counts more than the file holds.
#include <cstdint>
#include <cstdlib>

#include "firmware/firmware_image.h"
#include "firmware/request_route.h"
#include "firmware/served_ranges.h"
#include "fuzz_input.h"

using namespace r7730::firmware;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    r7730::fuzzing::TFuzzInput input(data, size);
    const std::string method = input.Text(8);
    const std::string path = input.Text(64);
    const std::string served = "/" + input.Text(31);
    if (RouteRequest(method, path, served) == TRoute::Serve && (path != served || (method != "GET" && method != "HEAD")))
        std::abort();

    const std::uint64_t fileSize = (std::uint64_t{input.Byte()} << 16) | (std::uint64_t{input.Byte()} << 8) | input.Byte();
    TByteRanges ranges;
    for (int count = input.SmallInt(6); count > 0; --count) {
        auto number = [&input] {
            const int kind = input.SmallInt(4);
            const ssize_t value = (ssize_t{input.Byte()} << 16) | (ssize_t{input.Byte()} << 8) | input.Byte();
            return kind == 0 ? ssize_t{-1} : value;
        };
        const ssize_t first = number();
        ranges.emplace_back(first, number());
    }
    TServedRanges tally;
    for (const auto& [first, last] : SatisfiableRanges(ranges, fileSize)) {
        if (first < 0 || last < first || static_cast<std::uint64_t>(last) >= fileSize)
            std::abort();
        tally.Add(static_cast<std::uint64_t>(first), static_cast<std::uint64_t>(last - first + 1));
    }
    if (tally.Covered() > fileSize || (tally.Covers(fileSize) && fileSize > 0 && tally.Covered() != fileSize))
        std::abort();

    const std::string rest = input.Rest();
    (void)TextLikeness(QByteArrayView(rest.data(), static_cast<qsizetype>(rest.size())));
    return 0;
}
