// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"
#include "platform/dbus/Bus.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace quorvel::kde {

// Every window KWin manages, through a script loaded into KWin that reports the windows and
// their changes to an object of ours on the session bus. A handle is a number of ours, never
// used twice. Scripts give no stacking order: the active window comes first, then the others by
// when they were last active or appeared, latest first. A minimized window is still visible,
// as on X11.
class KwinWindowSystem final : public WindowSystem
{
public:
    // Writes the script to stateFolder, loads it and waits for the first report. Throws Error
    // when KWin is not on the bus or its script does not report.
    explicit KwinWindowSystem(std::string stateFolder);
    ~KwinWindowSystem() override;
    KwinWindowSystem(const KwinWindowSystem &) = delete;
    KwinWindowSystem &operator=(const KwinWindowSystem &) = delete;

    // $XDG_RUNTIME_DIR/quorvel, or empty without XDG_RUNTIME_DIR.
    static std::string defaultStateFolder();

    void enumWindows(const std::function<bool(const WindowInfo &)> &visit) override;
    bool isWindowVisible(WindowHandle window) override;
    WindowHandle foregroundWindow() override;
    // Asks KWin to activate the window (a minimized one is restored) and waits until it is
    // active or the activation wait has passed.
    void setForegroundWindow(WindowHandle window) override;
    WindowHandle findWindow(std::string_view title) override;

    // The active window's resource class (its app id), empty when no window is active.
    std::string focusedAppId();

    void setActivationWait(std::chrono::milliseconds wait) { m_activationWait = wait; }
    // Called from processEvents when a window appears or its title changes, so title triggers
    // need not wait for the next scan; it must not call back into us.
    void setOnTitleChange(std::function<void()> changed);

    // The reports arrive here.
    int fileDescriptor() const { return m_bus.fileDescriptor(); }
    void processEvents();

private:
    struct Impl;
    void loadScript(const std::string &text, const std::string &file, const std::string &name);
    void unloadScript(const std::string &name);
    void removeStaleScripts();

    dbus::Bus m_bus;
    std::unique_ptr<Impl> m_impl;
    std::string m_stateFolder;
    std::chrono::milliseconds m_activationWait { 1000 };
};

} // namespace quorvel::kde
