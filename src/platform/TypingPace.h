// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace quorvel {

// Bytes sent to a receiver that it has not read yet, and how many its sender may queue.
struct Backlog
{
    std::uint64_t queue = 0; // which queue, stable while it lives
    std::uint32_t queued = 0;
    std::uint32_t limit = 0;
};

// When fast typing waits for slow receivers. A compositor drops a client whose queue is full,
// and a loaded machine lets a client fall behind the keys: typing stops while a queue is above
// the high mark, until it is below the low one. A queue that does not fall for `stall` belongs
// to a stopped receiver; it is passed over until it drains, so a stopped program costs one
// stall, never a hang.
class TypingPace
{
public:
    using Clock = std::chrono::steady_clock;
    struct Marks
    {
        double high = 0.5; // shares of the limit
        double low = 0.25;
        Clock::duration stall = std::chrono::seconds(2);
    };

    explicit TypingPace(Marks marks)
        : m_marks(marks)
    {
    }
    TypingPace()
        : TypingPace(Marks {})
    {
    }

    // Whether to wait before sending more, seeing the queues as they are now.
    bool mustWait(const std::vector<Backlog> &queues, Clock::time_point now);

private:
    struct Watch
    {
        std::uint32_t lowest = 0;
        Clock::time_point since; // when it last fell
        bool stopped = false;
    };

    Marks m_marks;
    std::unordered_map<std::uint64_t, Watch> m_watched; // queues above the high mark, not drained
};

} // namespace quorvel
