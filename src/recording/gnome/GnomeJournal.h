// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording/DeviceJournal.h"

namespace quorvel {

namespace dbus {
class Bus;
}

// The journal on GNOME: replays recordings made on X11 through the keyboard and pointer of
// Quorvel's GNOME Shell extension, on a bus connection of its own.
//
// A recorded key is replayed by its symbol, on the key that types it on the shell's layout
// without a modifier; a symbol the layout lacks there keeps the recorded keycode (an evdev X
// server's keycode is the evdev code plus 8). Positions are X screen coordinates, which are
// the shell's: a point goes to the same point of the screen.
class GnomeJournal : public DeviceJournal
{
public:
    // Never throws: the extension is asked at each replay, so one enabled since is used.
    explicit GnomeJournal(dbus::Bus bus);
};

} // namespace quorvel
