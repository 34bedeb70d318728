// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/EventPump.h"

#include <deque>
#include <functional>
#include <vector>

namespace quorvel::testing {

// Each pass runs what was posted before it (in order), then onProcess. Sleeps return at once.
class FakeEventPump : public EventPump
{
public:
    int passes = 0;
    std::vector<int> sleeps;
    std::function<void()> onProcess;
    std::function<void(int)> onSleep;

    // Runs once, in the next pass: a hot key or timer arriving in the middle of a run.
    void post(std::function<void()> task) { m_posted.push_back(std::move(task)); }
    bool hasPosted() const { return !m_posted.empty(); }

    void processMessages() override
    {
        ++passes;
        auto tasks = std::move(m_posted);
        m_posted.clear();
        for (auto &task : tasks)
            task();
        if (onProcess)
            onProcess();
    }

    void sleep(int milliseconds) override
    {
        sleeps.push_back(milliseconds);
        if (onSleep)
            onSleep(milliseconds);
    }

    int sleepsOf(int milliseconds) const
    {
        int n = 0;
        for (int s : sleeps)
            n += s == milliseconds ? 1 : 0;
        return n;
    }

private:
    std::deque<std::function<void()>> m_posted;
};

} // namespace quorvel::testing
