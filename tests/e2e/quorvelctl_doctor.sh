#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# quorvelctl doctor in each kind of session: sway (under scripts/with-sway.sh), KDE Plasma
# (scripts/with-kwin.sh), a bare X server
# (under scripts/with-xvfb.sh), weston, which offers none of the protocols Quorvel uses (under
# scripts/with-weston.sh), and no display at all.
# Usage: quorvelctl_doctor.sh sway|kde|x11|weston|none
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
ctl="$bin/quorvelctl"
unset XDG_SESSION_TYPE XDG_CURRENT_DESKTOP

# The report without its compositor line, which names a version.
doctor() { "$ctl" doctor | grep -v '^Compositor:'; }
compositor_is() { "$ctl" doctor | grep -qxE "Compositor: $1"; }

case "${1:-}" in
sway)
    expect "sway offers everything but recording" 0 "$(cat <<OUT
Session: Wayland (WAYLAND_DISPLAY=$WAYLAND_DISPLAY)
Offers: zwp_virtual_keyboard_manager_v1, zwlr_foreign_toplevel_manager_v1, zwlr_virtual_pointer_manager_v1, sway IPC
Typing: works
Hot keys: works
Window triggers: works
Focus: works
Replay: works
Recording: recording needs an X11 session
OUT
)" -- doctor
    check "the compositor is sway with its version" compositor_is 'sway [0-9]+\.[0-9.]+'
    expect "without sway's IPC socket: no hot keys, and a way round" 0 "$(cat <<OUT
Compositor: unknown
Lacks: sway IPC
Hot keys: global hot keys need sway; bind a desktop shortcut to quorvel '/Open:"Name"' /Close instead
OUT
)" -- bash -c "env -u SWAYSOCK '$ctl' doctor | grep -E '^(Compositor|Lacks|Hot keys):'"
    expect "another desktop's name is the hint left" 0 "Compositor: unknown (XDG_CURRENT_DESKTOP=GNOME)" \
        -- bash -c "env -u SWAYSOCK XDG_CURRENT_DESKTOP=GNOME '$ctl' doctor | grep '^Compositor:'"
    expect "a Wayland session whose compositor does not answer" 0 \
        "Typing: the Wayland display does not answer" \
        -- bash -c "WAYLAND_DISPLAY=gone-0 '$ctl' doctor | grep '^Typing:'"
    ;;
weston)
    expect "weston lacks each part, and every feature says why" 0 "$(cat <<OUT
Session: Wayland (WAYLAND_DISPLAY=$WAYLAND_DISPLAY)
Compositor: unknown
Lacks: zwp_virtual_keyboard_manager_v1, zwlr_foreign_toplevel_manager_v1, zwlr_virtual_pointer_manager_v1, sway IPC
Typing: this compositor offers no virtual keyboard
Hot keys: global hot keys need sway; bind a desktop shortcut to quorvel '/Open:"Name"' /Close instead
Window triggers: this compositor does not tell programs its windows' titles
Focus: this compositor does not let programs activate windows
Replay: this compositor offers no virtual keyboard
Recording: recording needs an X11 session
OUT
)" -- "$ctl" doctor
    ;;
kde)
    # XDG_CURRENT_DESKTOP is unset above: KWin answering on the bus tells the desktop.
    expect "Plasma offers everything but recording through its portals and KWin" 0 "$(cat <<OUT
Session: Wayland (WAYLAND_DISPLAY=$WAYLAND_DISPLAY)
Compositor: KWin
Offers: RemoteDesktop portal, GlobalShortcuts portal, KWin scripting, zwlr_data_control_manager_v1
Typing: works
Hot keys: works
Window triggers: works
Focus: works
Replay: works
Recording: recording needs an X11 session
OUT
)" -- "$ctl" doctor
    ;;
x11)
    expect "a bare X server offers everything" 0 "$(cat <<OUT
Session: X11 (DISPLAY=$DISPLAY)
Offers: XTEST, RECORD
Typing: works
Hot keys: works
Window triggers: works
Focus: works
Replay: works
Recording: works
OUT
)" -- doctor
    check "the compositor is the X server's vendor" compositor_is 'X server of .+, release [0-9]+'
    ;;
none)
    expect "no display: every feature says so, status 0" 0 "$(cat <<OUT
Session: none (neither WAYLAND_DISPLAY nor DISPLAY is set), XDG_SESSION_TYPE=tty
Compositor: unknown
Typing: no desktop session
Hot keys: no desktop session
Window triggers: no desktop session
Focus: no desktop session
Replay: no desktop session
Recording: no desktop session
OUT
)" -- env -u DISPLAY -u WAYLAND_DISPLAY XDG_SESSION_TYPE=tty "$ctl" doctor
    expect "an X display that does not answer" 0 "Typing: the X display does not answer" \
        -- bash -c "env -u WAYLAND_DISPLAY DISPLAY=:999 '$ctl' doctor | grep '^Typing:'"
    ;;
*)
    fail "usage: quorvelctl_doctor.sh sway|kde|x11|weston|none"
    ;;
esac
finish
