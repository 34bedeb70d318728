// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

#include <optional>
#include <string>

namespace quorvel::kde {

// A hot-key combination as KDE's shortcut services name it.
struct KdeShortcut
{
    std::string trigger; // the portal's preferred_trigger, as "CTRL+ALT+g"
    int qtKey = 0; // Qt's key code with its modifier bits, as KDE's shortcut daemon stores it
};

// The combination of hotkeymod bits and a virtual key; none for a key KDE cannot bind
// (the keypad, modifiers alone, keys without a name).
std::optional<KdeShortcut> kdeShortcutOf(unsigned modifiers, KeyCode key);

} // namespace quorvel::kde
