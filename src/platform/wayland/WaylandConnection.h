// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// libwayland's types, declared without its headers.
struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_interface;

namespace quorvel::wayland {

// One connection to the compositor, with the globals it announced and its first seat bound.
class WaylandConnection
{
public:
    struct Global
    {
        std::uint32_t name = 0;
        std::string interface;
        std::uint32_t version = 0;
    };

    // Throws Error when the compositor cannot be reached; an empty name means $WAYLAND_DISPLAY.
    explicit WaylandConnection(const std::string &displayName = {});
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection &) = delete;
    WaylandConnection &operator=(const WaylandConnection &) = delete;

    wl_display *display() const { return m_display; }
    // For the event loop: readable when events are waiting.
    int fileDescriptor() const;
    // Null when the compositor offers no seat.
    wl_seat *seat() const { return m_seat; }

    const std::vector<Global> &globals() const { return m_globals; }
    // The version the compositor offers of an interface; 0 when it offers none.
    std::uint32_t version(std::string_view interface) const;
    // Binds the first global of the interface at the highest version both sides know; null
    // when the compositor offers none.
    void *bind(const wl_interface *interface, std::uint32_t highestKnown);

    // Every request sent so far has been handled, and the events it caused dispatched.
    // Throws Error when the connection has failed.
    void roundtrip();
    // Sends what is buffered; throws Error when the connection has failed.
    void flush();
    // Reads and dispatches the events waiting on the socket; never blocks.
    void processEvents();

private:
    static void onGlobal(void *data, wl_registry *, std::uint32_t name, const char *interface,
        std::uint32_t version);
    static void onGlobalRemove(void *data, wl_registry *, std::uint32_t name);
    [[noreturn]] void check();

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    std::vector<Global> m_globals;
};

} // namespace quorvel::wayland
