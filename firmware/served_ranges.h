#pragma once
// Which bytes of the file have gone out, over every request: a device that resumes an aborted
// download with a Range request has been served the file whole once the pieces cover it.
#include <cstdint>
#include <map>

namespace r7730::firmware {

class TServedRanges {
public:
    // Bytes [offset, offset + length) went out.
    void Add(std::uint64_t offset, std::uint64_t length);
    // How many distinct bytes of [0, size) went out.
    std::uint64_t Covered() const { return covered_; }
    bool Covers(std::uint64_t size) const;

private:
    std::map<std::uint64_t, std::uint64_t> ranges_; // begin -> end, disjoint, not touching
    std::uint64_t covered_ = 0;
};

} // namespace r7730::firmware
