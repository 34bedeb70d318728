// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel::portal {

// Where a sink's keys go: evdev keycodes, pressed and released, and the round trip after which
// the desktop has them all.
class KeyInput
{
public:
    virtual ~KeyInput() = default;
    virtual void keycode(unsigned evdev, bool pressed) = 0;
    // Throws Error when the desktop refused any of them.
    virtual void sync() = 0;
    // Sends what is queued without waiting for the desktop to take it.
    virtual void push() { }
};

} // namespace quorvel::portal
