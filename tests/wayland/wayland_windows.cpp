// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland backend's view of the windows, for the window tests.
// Usage: wayland_windows list         the titles, topmost first, one a line
//        wayland_windows focus TITLE  activates the window of that title (any letter case);
//                                     status 0 when it is then the foreground window
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandWindowSystem.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char **argv)
{
    using namespace quorvel;
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        wayland::WaylandConnection connection;
        wayland::WaylandWindowSystem windows(connection);
        if (command == "list" && argc == 2) {
            windows.enumWindows([](const WindowInfo &w) {
                std::printf("%s%s\n", w.title.c_str(), w.visible ? "" : " (hidden)");
                return true;
            });
            return 0;
        }
        if (command == "focus" && argc == 3) {
            const WindowHandle window = windows.findWindow(argv[2]);
            if (!window)
                return 1;
            windows.setForegroundWindow(window);
            return windows.foregroundWindow() == window ? 0 : 1;
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "wayland_windows: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: wayland_windows list | focus TITLE\n");
    return 2;
}
