// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SessionDoctor.h"

#include <string>

namespace quorvel::dbus {

// The desktop whose shell answers on the session bus (KWin, GNOME Shell), for a session whose
// XDG_CURRENT_DESKTOP does not say; Other when neither does, or no bus answers.
WaylandDesktopKind desktopOnBus();

// The session's desktop: XDG_CURRENT_DESKTOP's word, else (outside sway) what answers on the
// bus.
WaylandDesktopKind sessionDesktop();

// Fills what the offer's desktop offers on the session bus: the portals' versions, KWin's
// scripting, Quorvel's Shell extension. Leaves them unset where no bus answers.
void probeDesktopServices(SessionOffer &offer);

// "GNOME Shell 43.9", "KWin": the compositor as the doctor names it; empty when unknown.
std::string desktopShellName(WaylandDesktopKind desktop);

} // namespace quorvel::dbus
