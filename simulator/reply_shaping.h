#pragma once
// How replies are cut into writes for trials of the program's receive path.
//
// Principles of operation: pure functions from reply bytes to the byte blocks that are written
// one write() each. Garbage goes in front of each reply; merged replies form one block; a block
// is cut into chunks of the given sizes, the last size repeating. The session adds the timing
// (reply delay, pause between chunks).
#include "frame_codec.h"

#include <cstddef>
#include <vector>

namespace sim {

Bytes withGarbageInFront(const Bytes& reply, const Bytes& garbage);

// The block cut into pieces of sizes[0], sizes[1], ..., then sizes.back() again and again;
// the whole block as one piece when sizes is empty.
std::vector<Bytes> splitIntoChunks(const Bytes& block, const std::vector<std::size_t>& sizes);

} // namespace sim
