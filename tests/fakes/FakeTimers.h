// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Timers.h"

#include <string>
#include <vector>

namespace quorvel::testing {

// The two timers' states, and every switch as "scan on", "scan off", "wait 1000 on".
class FakeTimers : public Timers
{
public:
    bool scanEnabled = true;
    int waitInterval = 0;
    bool waitEnabled = false;
    std::vector<std::string> log;

    void setScanTimerEnabled(bool enabled) override
    {
        scanEnabled = enabled;
        log.push_back(enabled ? "scan on" : "scan off");
    }
    void setWaitTimer(int intervalMs, bool enabled) override
    {
        waitInterval = intervalMs;
        waitEnabled = enabled;
        log.push_back("wait " + std::to_string(intervalMs) + (enabled ? " on" : " off"));
    }
};

} // namespace quorvel::testing
