// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/wayland/WaylandKeymap.h"

#include <cstdint>
#include <memory>
#include <vector>

struct wl_registry;
struct zwp_virtual_keyboard_v1;
struct zwlr_virtual_pointer_v1;
struct zxdg_output_manager_v1;

namespace quorvel::wayland {

class WaylandConnection;

// A keyboard and a pointer of our own on the seat (zwp_virtual_keyboard_v1 and
// zwlr_virtual_pointer_v1), for replaying recorded input: keys by the keycodes of a keymap we
// upload, the pointer in the coordinates of the output layout.
class WaylandVirtualInput
{
public:
    // Throws Error when the compositor offers no virtual keyboard, no virtual pointer or no seat.
    explicit WaylandVirtualInput(WaylandConnection &connection);
    ~WaylandVirtualInput();
    WaylandVirtualInput(const WaylandVirtualInput &) = delete;
    WaylandVirtualInput &operator=(const WaylandVirtualInput &) = delete;

    // Bind spare keys here, then uploadKeymap().
    WaylandKeymap &keymap() { return m_keymap; }
    // Sends the keymap; returns once the compositor has it, so later keys are read with it.
    void uploadKeymap();

    // An XKB keycode (evdev + 8) of our keymap.
    void key(unsigned keycode, bool press);

    struct Box
    {
        int x = 0, y = 0, width = 0, height = 0;
        bool operator==(const Box &) const = default;
    };
    // The bounds of every output in the layout, in logical pixels, as the compositor tells
    // them by now (xdg-output; without it each output at the origin).
    Box layoutBox() const;
    // To a point of the layout, kept inside it.
    void moveTo(int x, int y);
    // Buttons numbered as X numbers them: 1 left, 2 middle, 3 right, 4 to 7 the wheel's
    // steps up, down, left and right (a press scrolls, a release does nothing), 8 and 9 back
    // and forward. Others do nothing.
    void button(unsigned xButton, bool press);

    // Sends what is buffered, without waiting for the compositor.
    void flush();

private:
    struct Output;
    static void onGlobal(void *data, wl_registry *, std::uint32_t name, const char *interface,
        std::uint32_t version);
    static void onGlobalRemove(void *data, wl_registry *, std::uint32_t name);
    void describe(Output &output);
    void destroy();

    WaylandConnection &m_connection;
    WaylandKeymap m_keymap;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    zwlr_virtual_pointer_v1 *m_pointer = nullptr;
    wl_registry *m_registry = nullptr;
    zxdg_output_manager_v1 *m_xdgOutputs = nullptr;
    std::vector<std::unique_ptr<Output>> m_outputs;
    int m_unflushed = 0;
};

} // namespace quorvel::wayland
