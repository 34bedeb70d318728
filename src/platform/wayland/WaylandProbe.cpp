// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandProbe.h"

#include <wayland-client.h>

namespace quorvel::wayland {

namespace {

void global(void *data, wl_registry *, uint32_t, const char *interface, uint32_t)
{
    static_cast<std::vector<std::string> *>(data)->emplace_back(interface);
}

void globalRemove(void *, wl_registry *, uint32_t) { }

const wl_registry_listener kListener { global, globalRemove };

} // namespace

std::optional<std::vector<std::string>> waylandGlobals()
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return std::nullopt;
    std::vector<std::string> names;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kListener, &names);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!answered)
        return std::nullopt;
    return names;
}

} // namespace quorvel::wayland
