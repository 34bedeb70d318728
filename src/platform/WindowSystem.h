// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

using WindowHandle = std::uint64_t; // 0 is no window

struct WindowInfo
{
    WindowHandle handle = 0;
    std::string title; // UTF-8
    bool visible = false;
};

class WindowSystem
{
public:
    virtual ~WindowSystem() = default;

    // Top-level windows, topmost first; stops when visit returns false.
    virtual void enumWindows(const std::function<bool(const WindowInfo &)> &visit) = 0;
    virtual bool isWindowVisible(WindowHandle window) = 0;
    virtual WindowHandle foregroundWindow() = 0;
    virtual void setForegroundWindow(WindowHandle window) = 0;
    // FindWindowA's role: the whole title, ASCII letter case ignored; 0 when none.
    virtual WindowHandle findWindow(std::string_view title) = 0;
};

} // namespace quorvel
