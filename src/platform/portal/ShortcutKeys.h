// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

#include <optional>
#include <string>

namespace quorvel::portal {

// A hot-key combination as the GlobalShortcuts portal and KDE's shortcut daemon name it.
struct PortalShortcut
{
    std::string trigger; // the portal's preferred_trigger, as "CTRL+ALT+g"
    int qtKey = 0; // Qt's key code with its modifier bits, as KDE's shortcut daemon stores it
};

// The combination of hotkeymod bits and a virtual key; none for a key the portal cannot name
// (the keypad, modifiers alone, keys without a name).
std::optional<PortalShortcut> portalShortcutOf(unsigned modifiers, KeyCode key);

} // namespace quorvel::portal
