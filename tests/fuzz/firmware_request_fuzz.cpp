// What the one-file server decides of its own for a request: the answer to a method and a path,
// the request's head read, the Range header's span within the file, the tally of the bytes
// served, and whether an image looks like text. Whatever comes in: the file is served only at
// its exact path, every span answered lies within the file, and the tally never counts more than
// the file holds.
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
    TServedRanges tally;
    for (int count = input.SmallInt(6); count > 0; --count) {
        const std::optional<TRequestHead> head = ParseRequestHead("GET / HTTP/1.1\r\nRange: " + input.Text(40));
        if (!head)
            std::abort();
        const TRangeAnswer answer = AnswerRange(head->range, fileSize);
        if (answer.kind != TRangeKind::Part)
            continue;
        if (answer.last < answer.first || answer.last >= fileSize)
            std::abort();
        tally.Add(answer.first, answer.last - answer.first + 1);
    }
    (void)ParseRequestHead(input.Text(64));
    if (tally.Covered() > fileSize || (tally.Covers(fileSize) && fileSize > 0 && tally.Covered() != fileSize))
        std::abort();

    const std::string rest = input.Rest();
    (void)TextLikeness(QByteArrayView(rest.data(), static_cast<qsizetype>(rest.size())));
    return 0;
}
