// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11HotKeyRegistrar.h"

#include "platform/x11/VirtualKeys.h"

#include <X11/Xlib.h>

namespace quorvel::x11 {

X11HotKeyRegistrar::X11HotKeyRegistrar(X11Connection &connection, X11Keyboard &keyboard)
    : m_connection(connection)
    , m_keyboard(keyboard)
{
    m_grabCombinations = lockCombinations();
    connection.addHandler([this](const XEvent &e) { handleEvent(e); });
    keyboard.addChangeListener([this] { keyboardChanged(); });
}

X11HotKeyRegistrar::~X11HotKeyRegistrar()
{
    for (auto &[id, r] : m_registrations) {
        if (r.grabbed)
            ungrab(r.keycode, r.xmods);
    }
    m_connection.flush();
}

unsigned X11HotKeyRegistrar::lockMask()
{
    return LockMask | m_keyboard.numLockMask() | m_keyboard.scrollLockMask();
}

std::vector<unsigned> X11HotKeyRegistrar::lockCombinations()
{
    std::vector<unsigned> locks { LockMask };
    if (const unsigned num = m_keyboard.numLockMask(); num && num != LockMask)
        locks.push_back(num);
    if (const unsigned scroll = m_keyboard.scrollLockMask();
        scroll && scroll != LockMask && scroll != m_keyboard.numLockMask())
        locks.push_back(scroll);
    std::vector<unsigned> combinations;
    for (unsigned subset = 0; subset < (1u << locks.size()); ++subset) {
        unsigned mask = 0;
        for (std::size_t i = 0; i < locks.size(); ++i) {
            if (subset & (1u << i))
                mask |= locks[i];
        }
        combinations.push_back(mask);
    }
    return combinations;
}

void X11HotKeyRegistrar::resolve(Registration &r)
{
    r.keycode = m_keyboard.keycodeFor(virtualKeyToKeysym(r.key));
    r.xmods = 0;
    if (r.modifiers & hotkeymod::Shift)
        r.xmods |= ShiftMask;
    if (r.modifiers & hotkeymod::Control)
        r.xmods |= ControlMask;
    if (r.modifiers & hotkeymod::Alt)
        r.xmods |= m_keyboard.altMask();
}

bool X11HotKeyRegistrar::taken(unsigned keycode, unsigned xmods) const
{
    // The server lets a client grab its own combination twice; the second must be refused
    // as a second RegisterHotKey of it would be.
    for (const auto &[id, r] : m_registrations) {
        if (r.grabbed && r.keycode == keycode && r.xmods == xmods)
            return true;
    }
    return false;
}

bool X11HotKeyRegistrar::grab(unsigned keycode, unsigned xmods)
{
    Display *dpy = m_connection.display();
    {
        X11Connection::ErrorTrap trap(m_connection);
        for (unsigned locks : m_grabCombinations)
            XGrabKey(dpy, int(keycode), xmods | locks, m_connection.root(), False, GrabModeAsync,
                GrabModeAsync);
        if (trap.sync())
            return true;
    }
    // Someone holds at least one of the combinations: give back those we got.
    ungrab(keycode, xmods);
    return false;
}

void X11HotKeyRegistrar::ungrab(unsigned keycode, unsigned xmods)
{
    Display *dpy = m_connection.display();
    X11Connection::ErrorTrap trap(m_connection);
    for (unsigned locks : m_grabCombinations)
        XUngrabKey(dpy, int(keycode), xmods | locks, m_connection.root());
    trap.sync();
}

int X11HotKeyRegistrar::registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress)
{
    Registration r;
    r.modifiers = modifiers;
    r.key = key;
    r.onPress = std::move(onPress);
    resolve(r);
    if (!r.keycode || taken(r.keycode, r.xmods) || !grab(r.keycode, r.xmods))
        return 0;
    r.grabbed = true;
    const int id = m_nextId++;
    m_registrations.emplace(id, std::move(r));
    return id;
}

void X11HotKeyRegistrar::unregisterHotKey(int id)
{
    auto it = m_registrations.find(id);
    if (it == m_registrations.end())
        return;
    if (it->second.grabbed)
        ungrab(it->second.keycode, it->second.xmods);
    m_registrations.erase(it);
}

bool X11HotKeyRegistrar::heldElsewhere(unsigned modifiers, KeyCode key)
{
    Registration r;
    r.modifiers = modifiers;
    r.key = key;
    resolve(r);
    // A key with no keycode on this keyboard cannot be grabbed by anyone.
    if (!r.keycode || taken(r.keycode, r.xmods))
        return false;
    if (!grab(r.keycode, r.xmods))
        return true;
    ungrab(r.keycode, r.xmods);
    return false;
}

void X11HotKeyRegistrar::keyboardChanged()
{
    const std::vector<unsigned> combinations = lockCombinations();
    const bool locksMoved = combinations != m_grabCombinations;
    for (auto &[id, r] : m_registrations) {
        Registration moved = r;
        resolve(moved);
        if (!locksMoved && moved.keycode == r.keycode && moved.xmods == r.xmods)
            continue;
        if (r.grabbed)
            ungrab(r.keycode, r.xmods);
        r.grabbed = false;
        r.keycode = moved.keycode;
        r.xmods = moved.xmods;
    }
    m_grabCombinations = combinations;
    for (auto &[id, r] : m_registrations) {
        if (!r.grabbed && r.keycode && !taken(r.keycode, r.xmods))
            r.grabbed = grab(r.keycode, r.xmods);
    }
}

void X11HotKeyRegistrar::handleEvent(const XEvent &event)
{
    if (event.type != KeyPress || event.xkey.window != m_connection.root())
        return;
    const unsigned mods = event.xkey.state & 0xFF & ~lockMask();
    for (const auto &[id, r] : m_registrations) {
        if (!r.grabbed || r.keycode != event.xkey.keycode || r.xmods != mods)
            continue;
        // The grab would keep the keyboard until the key goes up, and the macro's keys
        // would come back to us instead of reaching the focused window.
        XUngrabKeyboard(m_connection.display(), event.xkey.time);
        m_connection.flush();
        const auto onPress = r.onPress;
        if (onPress)
            onPress(r.modifiers, r.key);
        return;
    }
}

} // namespace quorvel::x11
