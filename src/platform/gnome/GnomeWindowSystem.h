// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"
#include "platform/dbus/Bus.h"
#include "platform/gnome/GnomeShell.h"

#include <chrono>
#include <functional>
#include <vector>

namespace quorvel::gnome {

// Every normal top-level window through Quorvel's GNOME Shell extension, kept current from
// its WindowsChanged signal, in the shell's stacking order. A handle is the shell's window id.
// A minimized window counts as visible: it is there for the user, a click away.
class GnomeWindowSystem final : public WindowSystem
{
public:
    // Throws Error when the extension does not answer.
    explicit GnomeWindowSystem(dbus::Bus bus);

    void enumWindows(const std::function<bool(const WindowInfo &)> &visit) override;
    bool isWindowVisible(WindowHandle window) override;
    WindowHandle foregroundWindow() override;
    // Asks the shell to activate the window and waits until it has the focus or the
    // activation wait has passed.
    void setForegroundWindow(WindowHandle window) override;
    WindowHandle findWindow(std::string_view title) override;

    void setActivationWait(std::chrono::milliseconds wait) { m_activationWait = wait; }
    // Called from processEvents when a window appears or its title changes, so title triggers
    // need not wait for the next scan.
    void setOnTitleChange(std::function<void()> changed) { m_onTitleChange = std::move(changed); }

    int fileDescriptor() const { return m_bus.fileDescriptor(); }
    void processEvents();

private:
    void update(std::vector<ShellWindow> windows);
    void readPending();

    dbus::Bus m_bus;
    dbus::Slot m_changed;
    std::vector<ShellWindow> m_windows;
    std::function<void()> m_onTitleChange;
    bool m_titleChanged = false;
    std::chrono::milliseconds m_activationWait { 1000 };
};

} // namespace quorvel::gnome
