// SPDX-License-Identifier: GPL-3.0-or-later
// A compositor stand-in that lists fixed windows through the foreign toplevel protocol and
// nothing else, for the window states sway never reports (it never minimizes a window).
// Usage: fake_toplevels SOCKET TITLE[:STATE[,STATE]...]...
//   SOCKET is a socket name in $XDG_RUNTIME_DIR; STATE is activated or minimized. Serves
//   until it is killed.
#include "wlr-foreign-toplevel-management-unstable-v1-server-protocol.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <wayland-server.h>

namespace {

struct Window
{
    std::string title;
    std::vector<std::uint32_t> states;
};

std::vector<Window> windows;

void ignore(wl_client *, wl_resource *) { }
void ignoreOutput(wl_client *, wl_resource *, wl_resource *) { }
void ignoreRectangle(wl_client *, wl_resource *, wl_resource *, int32_t, int32_t, int32_t, int32_t)
{
}
void destroy(wl_client *, wl_resource *resource)
{
    wl_resource_destroy(resource);
}

const struct zwlr_foreign_toplevel_handle_v1_interface handleRequests = {
    .set_maximized = ignore,
    .unset_maximized = ignore,
    .set_minimized = ignore,
    .unset_minimized = ignore,
    .activate = ignoreOutput,
    .close = ignore,
    .set_rectangle = ignoreRectangle,
    .destroy = destroy,
    .set_fullscreen = ignoreOutput,
    .unset_fullscreen = ignore,
};

void stop(wl_client *, wl_resource *manager)
{
    zwlr_foreign_toplevel_manager_v1_send_finished(manager);
    wl_resource_destroy(manager);
}

const struct zwlr_foreign_toplevel_manager_v1_interface managerRequests = { .stop = stop };

void bindManager(wl_client *client, void *, uint32_t version, uint32_t id)
{
    wl_resource *manager =
        wl_resource_create(client, &zwlr_foreign_toplevel_manager_v1_interface, int(version), id);
    if (!manager) {
        wl_client_post_no_memory(client);
        return;
    }
    wl_resource_set_implementation(manager, &managerRequests, nullptr, nullptr);
    for (Window &w : windows) {
        wl_resource *handle =
            wl_resource_create(client, &zwlr_foreign_toplevel_handle_v1_interface, int(version), 0);
        if (!handle) {
            wl_client_post_no_memory(client);
            return;
        }
        wl_resource_set_implementation(handle, &handleRequests, nullptr, nullptr);
        zwlr_foreign_toplevel_manager_v1_send_toplevel(manager, handle);
        zwlr_foreign_toplevel_handle_v1_send_title(handle, w.title.c_str());
        wl_array states {};
        states.size = states.alloc = w.states.size() * sizeof(std::uint32_t);
        states.data = w.states.data();
        zwlr_foreign_toplevel_handle_v1_send_state(handle, &states);
        zwlr_foreign_toplevel_handle_v1_send_done(handle);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: fake_toplevels SOCKET TITLE[:STATE[,STATE]...]...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto colon = arg.find(':');
        Window w { arg.substr(0, colon), {} };
        const std::string states = colon == std::string::npos ? "" : arg.substr(colon + 1) + ",";
        for (std::size_t at = 0, comma; (comma = states.find(',', at)) != std::string::npos;
             at = comma + 1) {
            const std::string state = states.substr(at, comma - at);
            if (state == "activated")
                w.states.push_back(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED);
            else if (state == "minimized")
                w.states.push_back(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_MINIMIZED);
        }
        windows.push_back(std::move(w));
    }
    wl_display *display = wl_display_create();
    if (!display || wl_display_add_socket(display, argv[1]) != 0) {
        std::fprintf(stderr, "fake_toplevels: cannot serve on %s\n", argv[1]);
        return 1;
    }
    wl_global_create(display, &zwlr_foreign_toplevel_manager_v1_interface, 3, nullptr, bindManager);
    wl_display_run(display);
    wl_display_destroy(display);
    return 0;
}
