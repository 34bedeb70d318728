// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyRegistrar.h"
#include "platform/dbus/Bus.h"

#include <map>
#include <string>
#include <vector>

namespace quorvel::gnome {

// Global hot keys through Quorvel's GNOME Shell extension, which grabs each combination as a
// shell accelerator and signals its presses to us alone. The shell refuses a combination its
// own key bindings or another client hold. Grabs end with our bus connection, so a killed
// Quorvel leaves nothing grabbed; a restarted extension gets ours again.
class GnomeHotKeyRegistrar final : public HotKeyRegistrar
{
public:
    explicit GnomeHotKeyRegistrar(dbus::Bus bus);
    ~GnomeHotKeyRegistrar() override;
    GnomeHotKeyRegistrar(const GnomeHotKeyRegistrar &) = delete;
    GnomeHotKeyRegistrar &operator=(const GnomeHotKeyRegistrar &) = delete;

    int registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress) override;
    void unregisterHotKey(int id) override;
    bool heldElsewhere(unsigned modifiers, KeyCode key) override;
    // The shell takes an accelerator's keys before any program sees them.
    bool grabsSeeRegisteredKeys() const override { return false; }

    // The presses arrive here; processEvents runs the hot keys pressed, outside the bus's
    // dispatch.
    int fileDescriptor() const { return m_bus.fileDescriptor(); }
    void processEvents();

private:
    struct Registration
    {
        std::string accelerator;
        unsigned action = 0; // the shell's, 0 while not grabbed
        HotKeyPress onPress;
        unsigned modifiers = 0;
        KeyCode key = 0;
    };

    unsigned grab(const std::string &accelerator);
    void ungrab(unsigned action);
    void regrab();

    dbus::Bus m_bus;
    dbus::Slot m_pressedSignal;
    dbus::Slot m_ownerSignal;
    std::map<int, Registration> m_registrations;
    std::vector<unsigned> m_pressed; // actions, in the order pressed
    bool m_shellRestarted = false;
    int m_nextId = 1;
};

} // namespace quorvel::gnome
