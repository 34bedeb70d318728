// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recording/DeviceJournal.h"
#include "recording/JournalFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvel {

namespace wayland {
class WaylandKeymap;
}

// The journal on a wlroots compositor: replays recordings made on X11 through a virtual
// keyboard and a virtual pointer of its own.
//
// A recorded key is replayed by its symbol: on the key of our US keymap that types the symbol
// without Shift, else on a spare key bound to it, so the keys the recording's layout typed
// are typed again whatever the keycodes. A key without a symbol keeps its keycode, which on
// an evdev X server is the evdev code plus 8, as on our keymap. Positions are X screen
// coordinates, whose origin is the layout's: a point goes to the same point of the layout.
class WaylandJournal : public DeviceJournal
{
public:
    // displayName empty: $WAYLAND_DISPLAY. Never throws; without the compositor or its
    // virtual keyboard or pointer, available() is false.
    explicit WaylandJournal(const std::string &displayName = {});

    // The keys a recording's key events go to on keymap: the symbols the layout types without
    // Shift on their own keys, the others bound to spare keys as far as there are any.
    struct ReplayKeys
    {
        std::unordered_map<std::uint32_t, unsigned> ofKeysym;
        bool rebound = false; // spare keys were bound: the keymap goes again
        unsigned keycodeOf(const JournalEvent &event) const;
    };
    static ReplayKeys bindKeysyms(
        wayland::WaylandKeymap &keymap, const std::vector<JournalEvent> &events);

private:
    explicit WaylandJournal(std::pair<std::unique_ptr<ReplayInput>, std::string> opened);
};

} // namespace quorvel
