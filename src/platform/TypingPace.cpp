// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TypingPace.h"

#include <unordered_set>

namespace quorvel {

bool TypingPace::mustWait(const std::vector<Backlog> &queues, Clock::time_point now)
{
    bool wait = false;
    std::unordered_set<std::uint64_t> seen;
    for (const Backlog &q : queues) {
        if (q.limit == 0)
            continue;
        seen.insert(q.queue);
        const double fill = double(q.queued) / q.limit;
        auto it = m_watched.find(q.queue);
        if (it == m_watched.end()) {
            if (fill <= m_marks.high)
                continue;
            it = m_watched.emplace(q.queue, Watch { q.queued, now }).first;
        }
        Watch &w = it->second;
        if (fill <= m_marks.low) {
            m_watched.erase(it);
            continue;
        }
        if (q.queued < w.lowest) {
            w.lowest = q.queued;
            w.since = now;
        } else if (now - w.since >= m_marks.stall) {
            w.stopped = true;
        }
        wait = wait || !w.stopped;
    }
    // A queue gone with its receiver holds nobody up.
    std::erase_if(m_watched, [&](const auto &entry) { return !seen.contains(entry.first); });
    return wait;
}

} // namespace quorvel
