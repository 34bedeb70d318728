// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandConnection.h"

#include "common/Error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <wayland-client.h>

namespace quorvel::wayland {

namespace {
// The seat version whose requests we know; later ones add nothing we use.
constexpr std::uint32_t kSeatVersion = 5;
} // namespace

WaylandConnection::WaylandConnection(const std::string &displayName)
{
    m_display = wl_display_connect(displayName.empty() ? nullptr : displayName.c_str());
    if (!m_display)
        throw Error(
            "Cannot connect to the Wayland compositor: " + std::string(std::strerror(errno)));
    m_registry = wl_display_get_registry(m_display);
    static const wl_registry_listener registryListener = {
        .global = &WaylandConnection::onGlobal,
        .global_remove = &WaylandConnection::onGlobalRemove,
    };
    wl_registry_add_listener(m_registry, &registryListener, this);
    try {
        roundtrip();
        m_seat = static_cast<wl_seat *>(bind(&wl_seat_interface, kSeatVersion));
    } catch (...) {
        wl_registry_destroy(m_registry);
        wl_display_disconnect(m_display);
        throw;
    }
}

WaylandConnection::~WaylandConnection()
{
    if (m_seat)
        wl_seat_destroy(m_seat);
    wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

void WaylandConnection::onGlobal(
    void *data, wl_registry *, std::uint32_t name, const char *interface, std::uint32_t version)
{
    static_cast<WaylandConnection *>(data)->m_globals.push_back({ name, interface, version });
}

void WaylandConnection::onGlobalRemove(void *data, wl_registry *, std::uint32_t name)
{
    std::erase_if(static_cast<WaylandConnection *>(data)->m_globals,
        [name](const Global &g) { return g.name == name; });
}

int WaylandConnection::fileDescriptor() const
{
    return wl_display_get_fd(m_display);
}

std::uint32_t WaylandConnection::version(std::string_view interface) const
{
    auto it = std::find_if(m_globals.begin(), m_globals.end(),
        [&](const Global &g) { return g.interface == interface; });
    return it == m_globals.end() ? 0 : it->version;
}

void *WaylandConnection::bind(const wl_interface *interface, std::uint32_t highestKnown)
{
    auto it = std::find_if(m_globals.begin(), m_globals.end(),
        [&](const Global &g) { return g.interface == interface->name; });
    if (it == m_globals.end())
        return nullptr;
    return wl_registry_bind(m_registry, it->name, interface, std::min(it->version, highestKnown));
}

void WaylandConnection::check()
{
    const int error = wl_display_get_error(m_display);
    throw Error("The connection to the Wayland compositor failed: "
        + std::string(std::strerror(error ? error : errno)));
}

void WaylandConnection::roundtrip()
{
    if (wl_display_roundtrip(m_display) < 0)
        check();
}

void WaylandConnection::flush()
{
    // A full socket buffer empties as the compositor reads; wait for it rather than drop.
    while (wl_display_flush(m_display) < 0) {
        if (errno != EAGAIN)
            check();
        pollfd fd { fileDescriptor(), POLLOUT, 0 };
        poll(&fd, 1, -1);
    }
}

void WaylandConnection::processEvents()
{
    flush();
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0)
            check();
    }
    pollfd fd { fileDescriptor(), POLLIN, 0 };
    if (poll(&fd, 1, 0) > 0) {
        if (wl_display_read_events(m_display) < 0)
            check();
    } else {
        wl_display_cancel_read(m_display);
    }
    if (wl_display_dispatch_pending(m_display) < 0)
        check();
}

} // namespace quorvel::wayland
