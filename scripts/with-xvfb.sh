#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private X server (Xvfb on a free display) with the openbox window
# manager, and stops both afterwards. The command's exit status is returned.
set -euo pipefail

workdir=$(mktemp -d)
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    if [ -n "${wm_pid:-}" ]; then kill "$wm_pid" 2>/dev/null || true; fi
    if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$workdir"
}
trap cleanup EXIT

exec 3>"$workdir/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 1 100); do
    [ -s "$workdir/displayfd" ] && break
    sleep 0.05
done
display=$(head -n1 "$workdir/displayfd" | tr -d '[:space:]')
if [ -z "$display" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    cat "$workdir/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"
# An X session: the program picks Wayland wherever WAYLAND_DISPLAY is set.
unset WAYLAND_DISPLAY

if [ "${QUORVEL_NO_WM:-0}" != "1" ]; then
    openbox --sm-disable >"$workdir/openbox.log" 2>&1 &
    wm_pid=$!
    # Ready once the manager has claimed the screen.
    for _ in $(seq 1 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
fi

set +e
"$@"
status=$?
exit $status
