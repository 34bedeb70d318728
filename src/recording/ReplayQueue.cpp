// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/ReplayQueue.h"

#include "common/Error.h"

#include <chrono>

namespace quorvel {

ReplayQueue::Request ReplayQueue::load(const std::string &path, bool highSpeed)
{
    JournalParseResult parsed = loadJournal(path);
    if (!parsed.recording)
        throw Error(parsed.error);
    return { highSpeed, std::move(parsed.recording->events) };
}

ReplayQueue::Request ReplayQueue::pop()
{
    Request next = std::move(m_queue.front());
    m_queue.pop_front();
    return next;
}

void ReplayQueue::ended(bool userCancel)
{
    m_ends.push_back(userCancel);
    if (userCancel) {
        m_ends.insert(m_ends.end(), m_queue.size(), true);
        m_queue.clear();
    }
}

void ReplayQueue::raiseEnds(const std::function<void(bool)> &onFinished)
{
    while (!m_ends.empty()) {
        const bool userCancel = m_ends.front();
        m_ends.pop_front();
        if (onFinished)
            onFinished(userCancel);
    }
}

std::int64_t monotonicUs()
{
    // steady_clock is CLOCK_MONOTONIC, which the journals' timers are armed on.
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace quorvel
