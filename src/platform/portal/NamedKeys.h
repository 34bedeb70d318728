// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

namespace quorvel::portal {

// A named key (a virtual-key code) as the evdev key at its US position, for desktops that
// take keycodes only; letters are looked up on the desktop's layout first (see PortalKeySink).
struct NamedKey
{
    unsigned evdev = 0; // 0: no such key
    bool shift = false; // keypad digits: Shift picks them with NumLock off
};

NamedKey namedKey(KeyCode vk);

} // namespace quorvel::portal
