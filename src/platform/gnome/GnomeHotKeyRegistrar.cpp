// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gnome/GnomeHotKeyRegistrar.h"

#include "common/Error.h"
#include "platform/gnome/GnomeShell.h"

#include <systemd/sd-bus.h>
#include <utility>

namespace quorvel::gnome {

GnomeHotKeyRegistrar::GnomeHotKeyRegistrar(dbus::Bus bus)
    : m_bus(std::move(bus))
{
    m_pressedSignal = m_bus.matchSignal(std::string("type='signal',sender='") + kShellName
            + "',interface='" + kShellInterface + "',member='HotKeyPressed'",
        [this](sd_bus_message *m) {
            std::uint32_t action = 0;
            if (sd_bus_message_read(m, "u", &action) > 0)
                m_pressed.push_back(action);
        });
    m_ownerSignal = m_bus.matchSignal(
        std::string("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                    "arg0='")
            + kShellName + "'",
        [this](sd_bus_message *m) {
            const char *name = nullptr, *before = nullptr, *after = nullptr;
            if (sd_bus_message_read(m, "sss", &name, &before, &after) > 0 && after && *after)
                m_shellRestarted = true;
        });
}

GnomeHotKeyRegistrar::~GnomeHotKeyRegistrar()
{
    for (auto &[id, r] : m_registrations)
        ungrab(r.action);
    try {
        m_bus.flush();
    } catch (const Error &) {
    }
}

unsigned GnomeHotKeyRegistrar::grab(const std::string &accelerator)
{
    try {
        auto call = m_bus.methodCall(kShellName, kShellPath, kShellInterface, "Grab");
        dbus::check(sd_bus_message_append(call.get(), "s", accelerator.c_str()), "Grab");
        const auto reply = m_bus.call(call, std::chrono::seconds(5));
        std::uint32_t action = 0;
        dbus::check(sd_bus_message_read(reply.get(), "u", &action), "Grab");
        return action;
    } catch (const Error &) {
        return 0; // no shell to grab it: refused, as a combination held elsewhere
    }
}

void GnomeHotKeyRegistrar::ungrab(unsigned action)
{
    if (action == 0)
        return;
    try {
        auto call = m_bus.methodCall(kShellName, kShellPath, kShellInterface, "Ungrab");
        dbus::check(sd_bus_message_append(call.get(), "u", action), "Ungrab");
        // Waited for: a key sent next on another connection must not meet the grab.
        m_bus.call(call, std::chrono::seconds(5));
    } catch (const Error &) {
    }
}

int GnomeHotKeyRegistrar::registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress)
{
    const std::string accelerator = acceleratorName(modifiers, key);
    if (accelerator.empty())
        return 0;
    const unsigned action = grab(accelerator);
    if (action == 0)
        return 0;
    const int id = m_nextId++;
    m_registrations.emplace(
        id, Registration { accelerator, action, std::move(onPress), modifiers, key });
    return id;
}

void GnomeHotKeyRegistrar::unregisterHotKey(int id)
{
    const auto it = m_registrations.find(id);
    if (it == m_registrations.end())
        return;
    ungrab(it->second.action);
    m_registrations.erase(it);
}

bool GnomeHotKeyRegistrar::heldElsewhere(unsigned modifiers, KeyCode key)
{
    const std::string accelerator = acceleratorName(modifiers, key);
    if (accelerator.empty())
        return false;
    for (const auto &[id, r] : m_registrations)
        if (r.accelerator == accelerator)
            return false;
    const unsigned action = grab(accelerator);
    ungrab(action);
    return action == 0;
}

void GnomeHotKeyRegistrar::regrab()
{
    // The old extension's grabs went with it.
    for (auto &[id, r] : m_registrations)
        r.action = grab(r.accelerator);
}

void GnomeHotKeyRegistrar::processEvents()
{
    m_bus.processEvents();
    if (m_shellRestarted) {
        m_shellRestarted = false;
        m_pressed.clear();
        regrab();
    }
    // A press may unregister hot keys, this one included.
    const std::vector<unsigned> pressed = std::exchange(m_pressed, {});
    for (unsigned action : pressed) {
        for (const auto &[id, r] : m_registrations) {
            if (r.action == action) {
                const HotKeyPress onPress = r.onPress;
                if (onPress)
                    onPress(r.modifiers, r.key);
                break;
            }
        }
    }
}

} // namespace quorvel::gnome
