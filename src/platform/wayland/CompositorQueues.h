// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/TypingPace.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace quorvel::wayland {

// What the compositor has sent each of its clients and they have not read yet, seen through
// Linux's socket diagnostics (no privileges needed): every socket the compositor accepted on
// the Wayland socket we are connected to, but ours, which we read only after typing.
class CompositorQueues
{
public:
    // displayFd: our connection to the compositor.
    explicit CompositorQueues(int displayFd);
    ~CompositorQueues();
    CompositorQueues(const CompositorQueues &) = delete;
    CompositorQueues &operator=(const CompositorQueues &) = delete;

    // Empty when the system does not tell.
    std::vector<Backlog> read();

private:
    void findClients();

    int m_netlink = -1;
    std::uint32_t m_ours = 0; // our socket's inode
    std::vector<std::uint32_t> m_clients; // the compositor's ends of the other clients
    std::chrono::steady_clock::time_point m_found, m_read;
};

} // namespace quorvel::wayland
