// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the key codes the X server holds down, one per line; nothing when none is.

#include <X11/Xlib.h>
#include <cstdio>

int main()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("x11_keys_down: cannot open the display\n", stderr);
        return 2;
    }
    char keys[32];
    XQueryKeymap(display, keys);
    for (int code = 0; code < 256; ++code) {
        if (keys[code / 8] & (1 << (code % 8)))
            std::printf("%d\n", code);
    }
    XCloseDisplay(display);
    return 0;
}
