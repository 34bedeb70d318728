// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <vector>

namespace quorvel::testing {

// Top-level windows in a list, topmost first.
class FakeWindowSystem : public WindowSystem
{
public:
    std::vector<WindowInfo> windows;
    WindowHandle foreground = 0;
    std::vector<WindowHandle> foregroundRequests;
    int enumerations = 0;

    WindowHandle addWindow(const std::string &title, bool visible = true);
    void removeWindow(WindowHandle window);

    void enumWindows(const std::function<bool(const WindowInfo &)> &visit) override;
    bool isWindowVisible(WindowHandle window) override;
    WindowHandle foregroundWindow() override { return foreground; }
    void setForegroundWindow(WindowHandle window) override;
    // Whole title, ASCII letter case ignored, hidden windows included.
    WindowHandle findWindow(std::string_view title) override;

private:
    WindowHandle m_next = 0x1000;
};

} // namespace quorvel::testing
