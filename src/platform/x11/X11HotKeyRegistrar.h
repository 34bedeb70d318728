// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyRegistrar.h"
#include "platform/x11/X11Keyboard.h"

#include <functional>
#include <map>
#include <vector>

namespace quorvel::x11 {

// Global hot keys as passive key grabs on the root window, one for each combination of the
// lock modifiers so that a hot key works whatever locks are on. A combination another client
// holds is refused (BadAccess), and a refusal leaves no partial grab behind. The grabs follow
// the keyboard: a changed layout or modifier map regrabs what moved.
class X11HotKeyRegistrar final : public HotKeyRegistrar
{
public:
    X11HotKeyRegistrar(X11Connection &connection, X11Keyboard &keyboard);
    ~X11HotKeyRegistrar() override;

    int registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress) override;
    void unregisterHotKey(int id) override;
    bool heldElsewhere(unsigned modifiers, KeyCode key) override;

private:
    struct Registration
    {
        unsigned modifiers = 0; // hotkeymod bits
        KeyCode key = 0;
        HotKeyPress onPress;
        unsigned keycode = 0;
        unsigned xmods = 0;
        bool grabbed = false;
    };

    void resolve(Registration &r);
    bool taken(unsigned keycode, unsigned xmods) const;
    bool grab(unsigned keycode, unsigned xmods);
    void ungrab(unsigned keycode, unsigned xmods);
    std::vector<unsigned> lockCombinations();
    unsigned lockMask();
    void keyboardChanged();
    void handleEvent(const _XEvent &event);

    X11Connection &m_connection;
    X11Keyboard &m_keyboard;
    std::map<int, Registration> m_registrations;
    int m_nextId = 1;
    std::vector<unsigned> m_grabCombinations; // the lock combinations the grabs were made with
};

} // namespace quorvel::x11
