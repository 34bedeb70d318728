#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private headless sway (no X server, no input devices) and stops sway
# afterwards; the command's exit status is returned. The command sees WAYLAND_DISPLAY, SWAYSOCK
# and its own XDG_RUNTIME_DIR, and no DISPLAY.
# sway refuses to run as root: run as root, this makes (once) the unprivileged user
# $QUORVEL_TEST_USER (default quorvel-test) and runs sway and the command as that user, with HOME
# and TMPDIR in a private folder it owns. QUORVEL_SWAY_CONFIG adds lines to sway's config.
set -euo pipefail

# shellcheck source=scripts/private-session.bash
source "$(dirname "${BASH_SOURCE[0]}")/private-session.bash"

cat >"$workdir/config" <<EOF
xwayland disable
output * resolution 1280x1024
default_border none
${QUORVEL_SWAY_CONFIG:-}
EOF
# The command may change the config and reload it.
[ ${#as_user[@]} -eq 0 ] || chown "$user:" "$workdir/config"

export WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1
"${as_user[@]}" sway --config "$workdir/config" >"$workdir/sway.log" 2>&1 &
sway_pid=$!
stop_pids+=("$sway_pid")

# Ready once both sockets are there.
for _ in $(seq 1 200); do
    socket=$(find "$runtime" -maxdepth 1 -name 'wayland-*' -type s -printf '%f\n' | head -n1)
    ipc=$(find "$runtime" -maxdepth 1 -name 'sway-ipc.*.sock' -type s | head -n1)
    [ -n "$socket" ] && [ -n "$ipc" ] && break
    if ! kill -0 "$sway_pid" 2>/dev/null; then break; fi
    sleep 0.05
done
if [ -z "${socket:-}" ] || [ -z "${ipc:-}" ]; then
    echo "with-sway: sway did not start" >&2
    cat "$workdir/sway.log" >&2
    exit 1
fi
export WAYLAND_DISPLAY=$socket SWAYSOCK=$ipc

# A desktop always has a keyboard. Without one the seat offers none until a virtual keyboard
# appears, clients ask for theirs only then, and the first keys typed reach nobody. wtype,
# sleeping, keeps one there (it is also the person's keyboard of the tests).
"${as_user[@]}" wtype -s 2000000000 &
keyboard_pid=$!
stop_pids+=("$keyboard_pid")
for _ in $(seq 1 200); do
    "${as_user[@]}" swaymsg -t get_inputs 2>/dev/null | grep -q '"type": "keyboard"' && break
    sleep 0.05
done

set +e
"${as_user[@]}" "$@"
status=$?
exit $status
