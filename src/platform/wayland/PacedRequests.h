// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/TypingPace.h"
#include "platform/wayland/CompositorQueues.h"

namespace quorvel::wayland {

class WaylandConnection;

// Requests that carry input for other programs, many at once: flushed often enough that
// libwayland's buffer never fills (one that overflows while the compositor is behind ends the
// connection), and held back while a program lags far behind them (see TypingPace), as the
// compositor drops a client whose queue fills.
class PacedRequests
{
public:
    explicit PacedRequests(WaylandConnection &connection);

    // After sending requests more of them.
    void sent(int requests = 1);
    // Everything sent has gone out (a flush or a round trip).
    void flushed() { m_unflushed = 0; }

private:
    WaylandConnection &m_connection;
    CompositorQueues m_queues;
    TypingPace m_pace;
    int m_unflushed = 0;
    int m_unpaced = 0;
};

} // namespace quorvel::wayland
