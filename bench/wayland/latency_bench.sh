#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hot key to first typed key, and a window's appearance to its trigger's first typed key, of
# Quorvel running with default folders and a catalogue whose two macros type "q": prints the
# median and the 99th percentile of each (quorvel_latency_bench measures).
# Usage, on Wayland and on X11 for comparison:
#   scripts/with-sway.sh bench/wayland/latency_bench.sh BUILD [COUNT [SEARCH_INTERVAL]]
#   scripts/with-xvfb.sh bench/wayland/latency_bench.sh BUILD [COUNT [SEARCH_INTERVAL]]
# BUILD is a build folder with quorvel and quorvel_latency_bench (a release build for figures);
# SEARCH_INTERVAL is the catalogue's trigger scan period in milliseconds (250 by default).
set -uo pipefail
build=$(realpath "${1:?usage: latency_bench.sh BUILD [COUNT [SEARCH_INTERVAL]]}")
count=${2:-100}
interval=${3:-250}
export QUORVEL_BIN=$build/src
source "$(dirname "$0")/../../tests/e2e/lib.bash"
bench=$build/bench/quorvel_latency_bench
export QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none

catalogue_ini FirstRun=0 "SearchInterval=$interval" \
    -- Name=Hot Type=4 HotKey=49236 FileName=Hot.key \
    -- Name=Trigger Type=4 FileName=Trigger.key "Trigger=latency trigger" >"$work/macros.ini"
printf q >"$work/Hot.key"
printf q >"$work/Trigger.key"
seed_default_folders "$work/macros.ini" "$work/Hot.key" "$work/Trigger.key"
runtime=()
[ -z "${XDG_RUNTIME_DIR:-}" ] || runtime=(XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
with_default_folders env "${runtime[@]}" "$build/src/quorvel" >"$work/quorvel.log" 2>&1 &
pids+=($!)

# Ready once its hot key is bound (sway) or its window, shown with no tray, is there (X11).
ready() {
    if [ -n "${WAYLAND_DISPLAY:-}" ]; then
        compgen -G "$XDG_RUNTIME_DIR/quorvel/sway-hotkeys.*" >/dev/null
    else
        [ -n "$(window_of "Ostrin Quorvel")" ]
    fi
}
wait_for 20 ready || fail "Quorvel did not start: $(cat "$work/quorvel.log")"
sleep 1
session=x11
[ -z "${WAYLAND_DISPLAY:-}" ] || session=wayland
echo "$session, $count rounds each, triggers scanned every $interval ms"
"$bench" hotkey "$count" || fail "the hot key bench failed"
"$bench" trigger "$count" || fail "the trigger bench failed"
