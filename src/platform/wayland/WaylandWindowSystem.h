// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <chrono>
#include <functional>
#include <memory>

namespace quorvel::wayland {

class WaylandConnection;

// Every client's toplevel windows through the foreign toplevel protocol
// (zwlr_foreign_toplevel_manager_v1), kept current from the compositor's events. A handle is a
// number of ours, never used twice. The protocol gives no stacking order: the active window
// comes first, then the others by when they were last active or appeared, latest first.
class WaylandWindowSystem final : public WindowSystem
{
public:
    // Throws Error when the compositor does not offer the protocol.
    explicit WaylandWindowSystem(WaylandConnection &connection);
    ~WaylandWindowSystem() override;
    WaylandWindowSystem(const WaylandWindowSystem &) = delete;
    WaylandWindowSystem &operator=(const WaylandWindowSystem &) = delete;

    void enumWindows(const std::function<bool(const WindowInfo &)> &visit) override;
    bool isWindowVisible(WindowHandle window) override;
    WindowHandle foregroundWindow() override;
    // Asks the compositor to activate the window and waits until it is active or the
    // activation wait has passed.
    void setForegroundWindow(WindowHandle window) override;
    WindowHandle findWindow(std::string_view title) override;

    void setActivationWait(std::chrono::milliseconds wait) { m_activationWait = wait; }
    // Called from the event dispatch when a window appears or its title changes, so title
    // triggers need not wait for the next scan; it must not call back into us.
    void setOnTitleChange(std::function<void()> changed);

private:
    struct Impl;
    WaylandConnection &m_connection;
    std::unique_ptr<Impl> m_impl;
    std::chrono::milliseconds m_activationWait { 1000 };
};

} // namespace quorvel::wayland
