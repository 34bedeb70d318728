// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gnome/GnomeWindowSystem.h"

#include "common/Error.h"

#include <algorithm>
#include <systemd/sd-bus.h>
#include <unordered_map>

namespace quorvel::gnome {

namespace {

bool sameTitle(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
        return lower(x) == lower(y);
    });
}

} // namespace

GnomeWindowSystem::GnomeWindowSystem(dbus::Bus bus)
    : m_bus(std::move(bus))
{
    m_changed = m_bus.matchSignal(std::string("type='signal',sender='") + kShellName
            + "',interface='" + kShellInterface + "',member='WindowsChanged'",
        [this](sd_bus_message *m) {
            try {
                update(readWindows(m));
            } catch (const Error &) {
                // A malformed list changes nothing.
            }
        });
    auto call = m_bus.methodCall(kShellName, kShellPath, kShellInterface, "ListWindows");
    const auto reply = m_bus.call(call, std::chrono::seconds(5));
    m_windows = readWindows(reply.get());
}

void GnomeWindowSystem::update(std::vector<ShellWindow> windows)
{
    std::unordered_map<WindowHandle, const std::string *> before;
    for (const auto &w : m_windows)
        before.emplace(w.id, &w.title);
    for (const auto &w : windows) {
        const auto it = before.find(w.id);
        if (it == before.end() || *it->second != w.title)
            m_titleChanged = true;
    }
    m_windows = std::move(windows);
}

void GnomeWindowSystem::readPending()
{
    try {
        m_bus.processEvents();
    } catch (const Error &) {
        // The shell's bus is gone: the last list stands.
    }
}

void GnomeWindowSystem::processEvents()
{
    m_bus.processEvents();
    if (m_titleChanged && m_onTitleChange) {
        m_titleChanged = false;
        m_onTitleChange();
    }
}

void GnomeWindowSystem::enumWindows(const std::function<bool(const WindowInfo &)> &visit)
{
    readPending();
    // A copy: visit may run a macro that changes the list.
    const auto windows = m_windows;
    for (const auto &w : windows)
        if (!visit({ w.id, w.title, true }))
            break;
}

bool GnomeWindowSystem::isWindowVisible(WindowHandle window)
{
    readPending();
    return std::any_of(
        m_windows.begin(), m_windows.end(), [window](const auto &w) { return w.id == window; });
}

WindowHandle GnomeWindowSystem::foregroundWindow()
{
    readPending();
    const auto it =
        std::find_if(m_windows.begin(), m_windows.end(), [](const auto &w) { return w.focused; });
    return it != m_windows.end() ? it->id : 0;
}

void GnomeWindowSystem::setForegroundWindow(WindowHandle window)
{
    if (window == 0)
        return;
    try {
        auto call = m_bus.methodCall(kShellName, kShellPath, kShellInterface, "Activate");
        dbus::check(sd_bus_message_append(call.get(), "t", std::uint64_t(window)), "Activate");
        const auto reply = m_bus.call(call, std::chrono::seconds(5));
        int found = 0;
        dbus::check(sd_bus_message_read(reply.get(), "b", &found), "Activate");
        if (!found)
            return;
        m_bus.waitUntil(
            [this, window] {
                return std::any_of(m_windows.begin(), m_windows.end(),
                    [window](const auto &w) { return w.id == window && w.focused; });
            },
            m_activationWait);
    } catch (const Error &) {
        // As SetForegroundWindow, a failed activation is silent.
    }
}

WindowHandle GnomeWindowSystem::findWindow(std::string_view title)
{
    readPending();
    const auto it = std::find_if(m_windows.begin(), m_windows.end(),
        [title](const auto &w) { return sameTitle(w.title, title); });
    return it != m_windows.end() ? it->id : 0;
}

} // namespace quorvel::gnome
