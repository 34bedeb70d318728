// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FakeWindowSystem.h"

#include "common/Text.h"

#include <algorithm>

namespace quorvel::testing {

WindowHandle FakeWindowSystem::addWindow(const std::string &title, bool visible)
{
    const WindowHandle handle = m_next++;
    windows.push_back(WindowInfo { handle, title, visible });
    return handle;
}

void FakeWindowSystem::removeWindow(WindowHandle window)
{
    std::erase_if(windows, [window](const WindowInfo &w) { return w.handle == window; });
}

void FakeWindowSystem::enumWindows(const std::function<bool(const WindowInfo &)> &visit)
{
    ++enumerations;
    const auto snapshot = windows;
    for (const auto &w : snapshot) {
        if (!visit(w))
            return;
    }
}

bool FakeWindowSystem::isWindowVisible(WindowHandle window)
{
    const auto it = std::find_if(windows.begin(), windows.end(),
        [window](const WindowInfo &w) { return w.handle == window; });
    return it != windows.end() && it->visible;
}

void FakeWindowSystem::setForegroundWindow(WindowHandle window)
{
    foregroundRequests.push_back(window);
    if (window != 0)
        foreground = window;
}

WindowHandle FakeWindowSystem::findWindow(std::string_view title)
{
    for (const auto &w : windows) {
        if (text::equalsIgnoreAsciiCase(w.title, title))
            return w.handle;
    }
    return 0;
}

} // namespace quorvel::testing
