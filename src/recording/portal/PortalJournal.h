// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/xkb/LayoutKeys.h"
#include "recording/DeviceJournal.h"

#include <memory>
#include <string>
#include <utility>

namespace quorvel {

namespace portal {
class RemoteDesktopSession;
}
namespace kde {
class KwinFakeInput;
}

// The journal on a desktop that offers the RemoteDesktop portal: replays recordings made on
// X11 through the portal's keyboard and pointer.
//
// A recorded key is replayed by its symbol, on the key that types it on the desktop's layout
// without a modifier; a symbol the layout lacks there keeps the recorded keycode (an evdev X
// server's keycode is the evdev code plus 8). Absolute motion needs a screen-cast stream,
// which a keyboard-and-pointer session has not: the pointer is pushed into the top left
// corner first (the desktop keeps it on the screen), and each recorded position is reached by
// a relative move from where it is, so positions are X screen coordinates from the layout's
// top left corner.
class PortalJournal : public DeviceJournal
{
public:
    // The session must ask for the pointer as well as the keyboard; it must outlive the
    // journal. With direct (KWin's own input, which must outlive it too) the replay goes there
    // instead, recorded positions as points of KWin's screen layout, and never asks the portal.
    // Never throws on a layout xkbcommon cannot build: see available().
    PortalJournal(portal::RemoteDesktopSession &session, const xkb::LayoutNames &layout,
        kde::KwinFakeInput *direct = nullptr);

private:
    explicit PortalJournal(std::pair<std::unique_ptr<ReplayInput>, std::string> opened);
};

} // namespace quorvel
