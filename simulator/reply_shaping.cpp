#include "reply_shaping.h"

#include <algorithm>

namespace sim {

Bytes withGarbageInFront(const Bytes& reply, const Bytes& garbage)
{
    Bytes bytes = garbage;
    bytes.insert(bytes.end(), reply.begin(), reply.end());
    return bytes;
}

std::vector<Bytes> splitIntoChunks(const Bytes& block, const std::vector<std::size_t>& sizes)
{
    if (sizes.empty())
        return {block};
    std::vector<Bytes> chunks;
    std::size_t offset = 0;
    std::size_t next = 0;
    while (offset < block.size()) {
        const std::size_t size = std::min(sizes[std::min(next, sizes.size() - 1)], block.size() - offset);
        chunks.emplace_back(block.begin() + static_cast<long>(offset), block.begin() + static_cast<long>(offset + size));
        offset += size;
        ++next;
    }
    return chunks;
}

} // namespace sim
