#include "protocol/request_pairing.h"

namespace r7730 {
namespace {

// Requests of one ID kept waiting at most; a device that answers nothing keeps none longer.
constexpr std::size_t kMostWaiting = 64;

} // namespace

void TRequestPairing::Sent(std::uint64_t sequence, std::uint8_t id, std::chrono::microseconds at)
{
    auto& waiting = waiting_[id];
    if (waiting.size() >= kMostWaiting)
        waiting.pop_front();
    waiting.push_back({sequence, at});
}

std::optional<std::uint64_t> TRequestPairing::Received(std::uint8_t id, std::chrono::microseconds at)
{
    auto& waiting = waiting_[id];
    while (!waiting.empty() && at - waiting.front().at > kReplyWaitLimit)
        waiting.pop_front();
    if (waiting.empty())
        return std::nullopt;
    const std::uint64_t sequence = waiting.front().sequence;
    waiting.pop_front();
    return sequence;
}

} // namespace r7730
