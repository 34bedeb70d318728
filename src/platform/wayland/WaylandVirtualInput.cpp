// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandVirtualInput.h"

#include "common/Error.h"
#include "platform/wayland/WaylandConnection.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <linux/input-event-codes.h>
#include <wayland-client.h>

namespace quorvel::wayland {

namespace {

// See WaylandKeySink: libwayland's buffer must never fill up between two flushes.
constexpr int kFlushEvery = 64;
// One wheel step, in the units a mouse wheel scrolls by.
constexpr int kWheelStep = 15;

} // namespace

struct WaylandVirtualInput::Output
{
    std::uint32_t name = 0;
    wl_output *output = nullptr;
    zxdg_output_v1 *xdg = nullptr;
    int x = 0, y = 0, width = 0, height = 0; // logical, from xdg-output
    int modeWidth = 0, modeHeight = 0, scale = 1;

    ~Output()
    {
        if (xdg)
            zxdg_output_v1_destroy(xdg);
        if (output)
            wl_output_destroy(output);
    }

    static void geometry(void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t,
        const char *, const char *, int32_t)
    {
    }
    static void mode(
        void *data, wl_output *, std::uint32_t flags, int32_t width, int32_t height, int32_t)
    {
        if (flags & WL_OUTPUT_MODE_CURRENT) {
            static_cast<Output *>(data)->modeWidth = width;
            static_cast<Output *>(data)->modeHeight = height;
        }
    }
    static void done(void *, wl_output *) { }
    static void scaled(void *data, wl_output *, int32_t factor)
    {
        static_cast<Output *>(data)->scale = std::max(1, factor);
    }
    static void named(void *, wl_output *, const char *) { }
    static void described(void *, wl_output *, const char *) { }

    static void position(void *data, zxdg_output_v1 *, int32_t x, int32_t y)
    {
        static_cast<Output *>(data)->x = x;
        static_cast<Output *>(data)->y = y;
    }
    static void size(void *data, zxdg_output_v1 *, int32_t width, int32_t height)
    {
        static_cast<Output *>(data)->width = width;
        static_cast<Output *>(data)->height = height;
    }
    static void xdgDone(void *, zxdg_output_v1 *) { }
    static void xdgNamed(void *, zxdg_output_v1 *, const char *) { }
    static void xdgDescribed(void *, zxdg_output_v1 *, const char *) { }
};

WaylandVirtualInput::WaylandVirtualInput(WaylandConnection &connection)
    : m_connection(connection)
{
    if (!connection.seat())
        throw Error("The compositor offers no seat.");
    auto *keyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
        connection.bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!keyboards)
        throw Error("The compositor offers no virtual keyboard (zwp_virtual_keyboard_v1).");
    auto *pointers = static_cast<zwlr_virtual_pointer_manager_v1 *>(
        connection.bind(&zwlr_virtual_pointer_manager_v1_interface, 1));
    if (!pointers) {
        zwp_virtual_keyboard_manager_v1_destroy(keyboards);
        throw Error("The compositor offers no virtual pointer (zwlr_virtual_pointer_v1).");
    }
    m_keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, connection.seat());
    zwp_virtual_keyboard_manager_v1_destroy(keyboards);
    // Not tied to an output: absolute positions span the whole layout.
    m_pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, connection.seat());
    zwlr_virtual_pointer_manager_v1_destroy(pointers);

    // A registry of our own follows the outputs as they come and go.
    m_registry = wl_display_get_registry(connection.display());
    static const wl_registry_listener registryListener = {
        .global = &WaylandVirtualInput::onGlobal,
        .global_remove = &WaylandVirtualInput::onGlobalRemove,
    };
    wl_registry_add_listener(m_registry, &registryListener, this);
    try {
        connection.roundtrip();
        for (auto &output : m_outputs)
            describe(*output);
        uploadKeymap();
    } catch (const Error &) {
        destroy();
        throw;
    }
}

WaylandVirtualInput::~WaylandVirtualInput()
{
    destroy();
}

void WaylandVirtualInput::destroy()
{
    m_outputs.clear();
    if (m_xdgOutputs)
        zxdg_output_manager_v1_destroy(m_xdgOutputs);
    wl_registry_destroy(m_registry);
    zwlr_virtual_pointer_v1_destroy(m_pointer);
    zwp_virtual_keyboard_v1_destroy(m_keyboard);
    wl_display_flush(m_connection.display());
}

void WaylandVirtualInput::onGlobal(
    void *data, wl_registry *registry, std::uint32_t name, const char *interface, std::uint32_t)
{
    auto *self = static_cast<WaylandVirtualInput *>(data);
    if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->name = name;
        output->output =
            static_cast<wl_output *>(wl_registry_bind(registry, name, &wl_output_interface, 2));
        static const wl_output_listener listener = {
            .geometry = &Output::geometry,
            .mode = &Output::mode,
            .done = &Output::done,
            .scale = &Output::scaled,
            .name = &Output::named,
            .description = &Output::described,
        };
        wl_output_add_listener(output->output, &listener, output.get());
        self->m_outputs.push_back(std::move(output));
        // Outputs announced before the manager are described once the registry is read.
        if (self->m_xdgOutputs)
            self->describe(*self->m_outputs.back());
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0
        && !self->m_xdgOutputs) {
        self->m_xdgOutputs = static_cast<zxdg_output_manager_v1 *>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, 2));
    }
}

void WaylandVirtualInput::onGlobalRemove(void *data, wl_registry *, std::uint32_t name)
{
    std::erase_if(static_cast<WaylandVirtualInput *>(data)->m_outputs,
        [name](const std::unique_ptr<Output> &o) { return o->name == name; });
}

void WaylandVirtualInput::describe(Output &output)
{
    if (!m_xdgOutputs || output.xdg)
        return;
    output.xdg = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, output.output);
    static const zxdg_output_v1_listener listener = {
        .logical_position = &Output::position,
        .logical_size = &Output::size,
        .done = &Output::xdgDone,
        .name = &Output::xdgNamed,
        .description = &Output::xdgDescribed,
    };
    zxdg_output_v1_add_listener(output.xdg, &listener, &output);
}

void WaylandVirtualInput::uploadKeymap()
{
    sendKeymap(m_keyboard, m_keymap);
    m_connection.roundtrip();
    m_unflushed = 0;
}

void WaylandVirtualInput::key(unsigned keycode, bool press)
{
    m_unflushed += sendKey(m_keyboard, m_keymap, keycode, press);
    if (m_unflushed >= kFlushEvery)
        flush();
}

WaylandVirtualInput::Box WaylandVirtualInput::layoutBox() const
{
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (const auto &o : m_outputs) {
        const bool logical = o->xdg && o->width > 0 && o->height > 0;
        const int x = logical ? o->x : 0, y = logical ? o->y : 0;
        const int width = logical ? o->width : o->modeWidth / o->scale;
        const int height = logical ? o->height : o->modeHeight / o->scale;
        if (width <= 0 || height <= 0)
            continue;
        left = std::min(left, x);
        top = std::min(top, y);
        right = std::max(right, x + width);
        bottom = std::max(bottom, y + height);
    }
    if (left > right)
        return {};
    return { left, top, right - left, bottom - top };
}

void WaylandVirtualInput::moveTo(int x, int y)
{
    const Box box = layoutBox();
    if (box.width <= 0 || box.height <= 0)
        return;
    // The compositor spreads 0..extent over the box: one unit a pixel, the last pixel last.
    const auto along = [](int at, int from, int length) {
        return std::uint32_t(std::clamp(at - from, 0, length - 1));
    };
    zwlr_virtual_pointer_v1_motion_absolute(m_pointer, eventTime(), along(x, box.x, box.width),
        along(y, box.y, box.height), std::uint32_t(box.width), std::uint32_t(box.height));
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_unflushed += 2;
    if (m_unflushed >= kFlushEvery)
        flush();
}

void WaylandVirtualInput::button(unsigned xButton, bool press)
{
    const std::uint32_t time = eventTime();
    if (xButton >= 4 && xButton <= 7) {
        if (!press)
            return;
        const std::uint32_t axis =
            xButton <= 5 ? WL_POINTER_AXIS_VERTICAL_SCROLL : WL_POINTER_AXIS_HORIZONTAL_SCROLL;
        const int steps = xButton % 2 == 0 ? -1 : 1; // up and left go back
        zwlr_virtual_pointer_v1_axis_source(m_pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
        zwlr_virtual_pointer_v1_axis_discrete(
            m_pointer, time, axis, wl_fixed_from_int(steps * kWheelStep), steps);
    } else {
        static constexpr std::uint32_t codes[] = { BTN_LEFT, BTN_MIDDLE, BTN_RIGHT, 0, 0, 0, 0,
            BTN_SIDE, BTN_EXTRA };
        if (xButton < 1 || xButton > std::size(codes) || !codes[xButton - 1])
            return;
        zwlr_virtual_pointer_v1_button(m_pointer, time, codes[xButton - 1],
            press ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    }
    zwlr_virtual_pointer_v1_frame(m_pointer);
    m_unflushed += 3;
    if (m_unflushed >= kFlushEvery)
        flush();
}

void WaylandVirtualInput::flush()
{
    m_connection.flush();
    m_unflushed = 0;
}

} // namespace quorvel::wayland
