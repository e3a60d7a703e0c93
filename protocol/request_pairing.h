#pragma once
// Which request a reply answers.
//
// The device answers each command in the order it came, with the same message ID, usually
// within milliseconds; a command it never answers (sent while it rebooted, say) must not shift
// every later pairing. So a reply answers the oldest request of its ID that is still waiting, and
// a request waits at most kReplyWaitLimit: after that it counts as unanswered. Every view of the
// frames pairs by these rules and this limit, so all of them name the same request for a reply.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace r7730 {

inline constexpr std::chrono::seconds kReplyWaitLimit{3};

class TRequestPairing {
public:
    // A request went out at `at` (any clock that only moves forward).
    void Sent(std::uint64_t sequence, std::uint8_t id, std::chrono::microseconds at);
    // A reply came at `at`: the sequence number of the request it answers, if one waits.
    std::optional<std::uint64_t> Received(std::uint8_t id, std::chrono::microseconds at);

private:
    struct TWaiting {
        std::uint64_t sequence;
        std::chrono::microseconds at;
    };
    std::array<std::deque<TWaiting>, 256> waiting_;
};

} // namespace r7730
