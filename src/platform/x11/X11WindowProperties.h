// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/x11/X11Connection.h"

#include <string>
#include <vector>

namespace quorvel::x11 {

// What the server says about a window, read when asked: its title, the window manager's
// properties and its place in the window tree. Every call is at least one round trip; keeping
// the answers is the window model's business.
class X11WindowProperties
{
public:
    explicit X11WindowProperties(X11Connection &connection);

    struct Atoms
    {
        XId clientListStacking = 0;
        XId activeWindow = 0;
        XId netWmName = 0;
        XId utf8String = 0;
        XId wmState = 0;
        XId supportingCheck = 0;
        XId supported = 0;
        XId netWmPid = 0;
    };
    const Atoms &atoms() const { return m_atoms; }

    // _NET_WM_NAME, else WM_NAME in whatever encoding the client chose; UTF-8, "" when none.
    std::string title(XId window);
    // WM_STATE says IconicState: the manager has minimized it.
    bool isIconic(XId window);
    long pid(XId window);
    // Whether an EWMH manager runs and keeps _NET_CLIENT_LIST_STACKING.
    bool managerKeepsStacking();
    // The manager's stacking list, bottom to top.
    std::vector<XId> clientListStacking();
    XId managerActiveWindow();
    enum class MapState { Gone, Unmapped, Unviewable, Viewable };
    MapState mapState(XId window);

    // The children of the root, bottom to top.
    std::vector<XId> topLevels();
    // The child of the root that the window lives in; the window itself for a child of the
    // root, 0 when it is gone.
    XId topLevelOf(XId window);
    // The window with WM_STATE inside a child of the root; the child itself when none has it.
    XId clientOf(XId topLevel);
    // The window with the input focus; 0 for none or PointerRoot.
    XId inputFocus();
    // Whether the input focus lies in the window or one of its descendants.
    bool hasFocus(XId window);

private:
    bool hasWmState(XId window);
    std::vector<XId> ids(XId window, XId property, XId type);
    XId id(XId window, XId property, XId type);
    bool read(XId window, XId property, XId type, long longs, std::vector<unsigned char> &bytes,
        int &format, unsigned long &items);
    bool children(XId window, std::vector<XId> &out);
    // False when the window is gone.
    bool parentOf(XId window, XId &parent);

    _XDisplay *m_display;
    XId m_root;
    Atoms m_atoms;
};

} // namespace quorvel::x11
