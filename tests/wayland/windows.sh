#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The windows through the Wayland backend on foot windows: titles, topmost first, and
# activating a window by its title in any letter case; minimized windows on a stand-in
# compositor, since sway never minimizes one.
# Usage (under scripts/with-sway.sh): windows.sh WAYLAND_WINDOWS FAKE_TOPLEVELS
set -uo pipefail
tool=${1:?usage: windows.sh WAYLAND_WINDOWS FAKE_TOPLEVELS}
fake=${2:?usage: windows.sh WAYLAND_WINDOWS FAKE_TOPLEVELS}
source "$(dirname "$0")/lib.bash"
failed=0
expect() { # what, expected, actual
    if [ "$2" = "$3" ]; then
        echo "ok $1"
    else
        printf 'FAIL %s: expected [%s], got [%s]\n' "$1" "$2" "$3" >&2
        failed=1
    fi
}
focused() {
    swaymsg -t get_tree | python3 -c 'import json, sys
def walk(n):
    if n.get("focused"):
        print(n.get("name"))
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))'
}

pids=()
for title in "First window" "Second — ünïcode 窓"; do
    foot --title="$title" sh -c 'sleep 60' 2>/dev/null &
    pids+=($!)
    wait_until 100 has_window "$title" || echo "foot did not appear" >&2
done

expect "titles, the active first" "$(printf '%s\n' "Second — ünïcode 窓" "First window")" \
    "$("$tool" list)"
"$tool" focus "FIRST WINDOW"
expect "focus by title, letter case ignored" "0 First window" "$? $(focused)"
expect "the activated window first" "First window" "$("$tool" list | head -n1)"
"$tool" focus "No such window"
expect "no window of that title" "1 First window" "$? $(focused)"

kill "${pids[@]}" 2>/dev/null

# A minimized window is a window like any other; the list marks those that are not shown.
"$fake" quorvel-fake-toplevels "Shown window:activated" "Minimized window:minimized" &
fake_pid=$!
wait_until 100 test -S "$XDG_RUNTIME_DIR/quorvel-fake-toplevels"
expect "minimized windows count as shown" "$(printf '%s\n' "Shown window" "Minimized window")" \
    "$(WAYLAND_DISPLAY=quorvel-fake-toplevels "$tool" list)"
kill "$fake_pid"
exit $failed
