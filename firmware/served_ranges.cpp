// The bytes served so far (see served_ranges.h).
#include "firmware/served_ranges.h"

#include <algorithm>

namespace r7730::firmware {

void TServedRanges::Add(std::uint64_t offset, std::uint64_t length)
{
    if (length == 0)
        return;
    std::uint64_t begin = offset;
    std::uint64_t end = offset + std::min(length, UINT64_MAX - offset);
    // Merge with every range that overlaps or touches [begin, end).
    auto at = ranges_.upper_bound(begin);
    if (at != ranges_.begin() && std::prev(at)->second >= begin)
        --at;
    while (at != ranges_.end() && at->first <= end) {
        begin = std::min(begin, at->first);
        end = std::max(end, at->second);
        covered_ -= at->second - at->first;
        at = ranges_.erase(at);
    }
    ranges_.emplace(begin, end);
    covered_ += end - begin;
}

bool TServedRanges::Covers(std::uint64_t size) const
{
    return size == 0 || (!ranges_.empty() && ranges_.begin()->first == 0 && ranges_.begin()->second >= size);
}

} // namespace r7730::firmware
