// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"
#include "platform/x11/X11Connection.h"

#include <chrono>
#include <functional>
#include <memory>

namespace quorvel::x11 {

// The top-level windows, topmost first, as a model kept current from the server's events:
// the window manager's stacking list (or, without an EWMH manager, the root's children and
// their client windows), each window's title, map state and minimized state. Searches run against
// the model after the window events already received are applied, so they cost no round trip
// per window.
//
// A handle is the client window's id; when the server hands the id of a destroyed window to a
// new one, the new window's handle carries a count of such reuses in its upper 32 bits, so it
// never passes for the window it replaced.
class X11WindowSystem final : public WindowSystem
{
public:
    explicit X11WindowSystem(X11Connection &connection);
    ~X11WindowSystem() override;

    void enumWindows(const std::function<bool(const WindowInfo &)> &visit) override;
    bool isWindowVisible(WindowHandle window) override;
    WindowHandle foregroundWindow() override;
    // Asks the window manager (as a pager would) and waits until the window has the focus or
    // the activation wait has passed.
    void setForegroundWindow(WindowHandle window) override;
    WindowHandle findWindow(std::string_view title) override;

    // Whether the active window belongs to this process.
    bool activeWindowIsOurs();
    void setActivationWait(std::chrono::milliseconds wait);
    // Called from the event handling when a window may have appeared, gone, shown, hidden or
    // changed its title, so title triggers need not wait for the next scan; it must not call
    // back into us.
    void setOnWindowsChange(std::function<void()> changed);

    static XId windowOf(WindowHandle handle) { return XId(handle & 0xFFFFFFFFu); }
    // The current handle of an X window (it may not be in the model).
    WindowHandle handleOf(XId window);
    // Whether an EWMH window manager supplies the stacking list.
    bool usesManagerList();
    std::size_t windowCount();

    // Applies the window events already received.
    void catchUp();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel::x11
