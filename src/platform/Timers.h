// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel {

// The two timers a timed wait switches: the trigger scan (Timer1) and the wait ticker (tmr1),
// whose ticks the owner delivers back to the runner.
class Timers
{
public:
    // The wait ticker's period while no timed wait runs.
    static constexpr int WaitTimerDesignInterval = 10000;

    virtual ~Timers() = default;
    virtual void setScanTimerEnabled(bool enabled) = 0;
    virtual void setWaitTimer(int intervalMs, bool enabled) = 0;
};

} // namespace quorvel
