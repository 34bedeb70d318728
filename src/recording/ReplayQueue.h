// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording/JournalFile.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// What a journal owes beyond the running replay: the replays asked for meanwhile, which run
// one after another, and the ends still to be reported. Each replay ends exactly once; a
// cancel drops the queued replays, and each of them ends as cancelled too.
class ReplayQueue
{
public:
    struct Request
    {
        bool highSpeed = false;
        std::vector<JournalEvent> events;
    };
    // The file's events; throws Error when the file cannot be replayed.
    static Request load(const std::string &path, bool highSpeed);

    void push(Request request) { m_queue.push_back(std::move(request)); }
    bool empty() const { return m_queue.empty(); }
    std::size_t size() const { return m_queue.size(); }
    Request pop();

    // The running replay ended.
    void ended(bool userCancel);
    bool hasEnds() const { return !m_ends.empty(); }
    // Reports the ends in order; a handler may start another replay.
    void raiseEnds(const std::function<void(bool userCancel)> &onFinished);

private:
    std::deque<Request> m_queue;
    std::deque<bool> m_ends;
};

// The monotonic clock replays are scheduled on (CLOCK_MONOTONIC), in microseconds.
std::int64_t monotonicUs();

} // namespace quorvel
