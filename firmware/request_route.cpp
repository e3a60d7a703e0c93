// The one-file server's answer to a method and a path (see request_route.h).
#include "firmware/request_route.h"

namespace r7730::firmware {

TRoute RouteRequest(std::string_view method, std::string_view path, std::string_view servedPath)
{
    if (path != servedPath)
        return TRoute::NotFound;
    return method == "GET" || method == "HEAD" ? TRoute::Serve : TRoute::MethodNotAllowed;
}

TByteRanges SatisfiableRanges(const TByteRanges& ranges, std::uint64_t size)
{
    TByteRanges satisfiable;
    if (size == 0)
        return satisfiable;
    const auto end = static_cast<ssize_t>(size);
    for (const auto& [first, last] : ranges) {
        if (first < 0) {
            if (last > 0) // the last `last` bytes
                satisfiable.emplace_back(last >= end ? 0 : end - last, end - 1);
            continue;
        }
        if (first >= end || (last >= 0 && last < first))
            continue;
        satisfiable.emplace_back(first, last < 0 || last >= end ? end - 1 : last);
    }
    return satisfiable;
}

} // namespace r7730::firmware
