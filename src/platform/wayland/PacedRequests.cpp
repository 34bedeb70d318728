// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/PacedRequests.h"

#include "platform/wayland/WaylandConnection.h"

#include <chrono>
#include <thread>

namespace quorvel::wayland {

namespace {
// Requests sent between two flushes: libwayland's buffer holds about 200 key requests.
constexpr int kFlushEvery = 64;
// Requests between two looks at the clients' queues: each look costs up to half a
// millisecond on a desktop with thousands of sockets, and this many keys add about a
// twentieth of a queue (measured on sway with foot).
constexpr int kPaceEvery = 256;
} // namespace

PacedRequests::PacedRequests(WaylandConnection &connection)
    : m_connection(connection)
    , m_queues(connection.fileDescriptor())
{
}

void PacedRequests::sent(int requests)
{
    m_unflushed += requests;
    m_unpaced += requests;
    if (m_unpaced >= kPaceEvery) {
        m_connection.flush();
        m_unflushed = m_unpaced = 0;
        while (m_pace.mustWait(m_queues.read(), TypingPace::Clock::now()))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else if (m_unflushed >= kFlushEvery) {
        m_connection.flush();
        m_unflushed = 0;
    }
}

} // namespace quorvel::wayland
