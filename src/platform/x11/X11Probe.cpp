// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Probe.h"

#include <X11/Xlib.h>

namespace quorvel::x11 {

std::optional<X11ServerFacts> probeX11Server()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    X11ServerFacts facts;
    facts.vendor = ServerVendor(display);
    facts.release = VendorRelease(display);
    int opcode = 0, event = 0, error = 0;
    facts.xtest = XQueryExtension(display, "XTEST", &opcode, &event, &error);
    facts.record = XQueryExtension(display, "RECORD", &opcode, &event, &error);
    XCloseDisplay(display);
    return facts;
}

} // namespace quorvel::x11
