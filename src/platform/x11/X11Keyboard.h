// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/x11/X11Connection.h"

#include <functional>
#include <memory>
#include <vector>

namespace quorvel::x11 {

// The keyboard as the server maps it: the XKB layout of the current group, the lock state and
// the modifier map, kept current from the server's notifications. Changes to the spare keys
// (the sink's temporary bindings) are ours and do not count as changes.
class X11Keyboard
{
public:
    explicit X11Keyboard(X11Connection &connection);
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard &) = delete;
    X11Keyboard &operator=(const X11Keyboard &) = delete;

    // A key and the modifiers (X masks: Shift and the level-three modifier) that make it type
    // what was asked for under the current locks and group.
    struct Binding
    {
        unsigned keycode = 0;
        unsigned modifiers = 0;
        bool valid() const { return keycode != 0; }
    };

    Binding findCharacter(char32_t ch);
    Binding findKeysym(unsigned long keysym);
    // The key carrying keysym at its lowest level in the current group, locks aside; 0 if none.
    unsigned keycodeFor(unsigned long keysym);
    // Every key carrying keysym in any group and level.
    std::vector<unsigned> keycodesFor(unsigned long keysym);
    // The virtual-key code of a key in the current group: a keypad key's digit or operator
    // whatever Num Lock says, otherwise the code of its lowest level that has one; 0 if none.
    int virtualKeyOf(unsigned keycode);
    // The keys of modifier index 0 (Shift) to 7 (Mod5).
    std::vector<unsigned> modifierKeys(unsigned mask);

    unsigned altMask();
    unsigned level3Mask(); // 0 when no key gives level three
    unsigned numLockMask();
    unsigned scrollLockMask(); // 0 when no modifier carries Scroll_Lock
    unsigned lockedModifiers();

    unsigned shiftKey();
    unsigned controlKey();
    unsigned altKey();
    unsigned level3Key();

    // Keys that no layout uses and no modifier carries, for temporary bindings.
    const std::vector<unsigned> &spareKeys();
    // What the sink bound on a spare key (its first keysym), 0 when nothing. The binding is
    // forgotten when a new layout empties the key.
    unsigned long spareBinding(unsigned keycode);
    // What a shifted press of it types: the upper case, the second of two characters without
    // case, or the first keysym again.
    unsigned long spareShiftedBinding(unsigned keycode);
    void setSpareBinding(unsigned keycode, unsigned long keysym);

    // Binds spare keys in one request, so targets handle one mapping change for all of them:
    // a plain press types lower and a shifted one upper (the same keysym for both when one
    // character without case is bound). Keys between them go along as they are.
    struct SpareBindingRequest
    {
        unsigned keycode = 0;
        unsigned long lower = 0, upper = 0;
    };
    void bindSpares(const std::vector<SpareBindingRequest> &bindings);

    // Applies what the server reported since the last call; runs the listeners when the map
    // or the modifiers changed.
    void update();
    void invalidate();
    void addChangeListener(std::function<void()> listener);

private:
    struct Impl;
    void handleEvent(const _XEvent &event);
    void ensure();

    X11Connection &m_connection;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel::x11
