// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel {

class EventPump
{
public:
    virtual ~EventPump() = default;
    // Handles every pending event once (hot keys, timers, input), then returns.
    virtual void processMessages() = 0;
    // Blocks the thread.
    virtual void sleep(int milliseconds) = 0;
};

} // namespace quorvel
