#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The windows through the GNOME backend on two foot windows: titles topmost first, a retitle
# seen at once, activation by title in any letter case, a minimized window still visible, and
# the figure of a window's title to a trigger's first key.
# Usage (under scripts/with-gnome.sh): windows.sh GNOME_DRIVER
set -uo pipefail
driver=${1:?usage: windows.sh GNOME_DRIVER}
source "$(dirname "$0")/lib.bash"

pids=()
for title in "First window" "Second — ünïcode 窓"; do
    foot --title="$title" sh -c 'sleep 60' 2>/dev/null &
    pids+=($!)
    wait_until 100 has_window "$title" || echo "foot did not appear" >&2
done
# shellcheck disable=SC2317 # run by the trap
stop_windows() { kill "${pids[@]}" 2>/dev/null; wayland_cleanup; }
trap stop_windows EXIT

expect "titles, the active first" "$(printf '%s\n' "Second — ünïcode 窓" "First window")" \
    "$("$driver" list)"
"$driver" focus "FIRST WINDOW"
expect "focus by title, letter case ignored" "0 First window" "$? $("$driver" list | head -n1)"
"$driver" focus "No such window"
expect "no window of that title" "1 First window" "$? $("$driver" list | head -n1)"

# Minimized through the shell's own keybinding (Super+H), still listed and visible.
# shellcheck disable=SC2317 # run by wait_until
minimized() {
    gdbus call --session --dest example.ostrin.Quorvel.Shell --object-path \
        /example/ostrin/Quorvel/Shell --method example.ostrin.Quorvel.Shell1.ListWindows |
        grep -qF "'First window', 'foot', true"
}
python3 "$keyboard" press 125+35 >/dev/null
wait_until 50 minimized || echo "FAIL: Super+H did not minimize the window" >&2
expect "a minimized window is visible" "First window" "$("$driver" list | grep -xF 'First window')"
"$driver" focus "first window"
expect "a minimized window is activated" "0 First window" "$? $("$driver" list | head -n1)"

# A title set by the program: the trigger sees it at once and types into it. 20 samples.
: >"$work/starts"
: >"$work/ends"
for i in $(seq 1 20); do
    out=$work/trigger$i.out
    fifo=$work/trigger$i.fifo
    mkfifo "$fifo"
    foot --title="waiting $i" sh -c "read -r _ < '$fifo'; printf '\033]2;Trigger $i\007'; \
cat > '$out'" 2>/dev/null &
    foot=$!
    wait_until 100 has_window "waiting $i" || echo "foot did not appear" >&2
    sleep 0.3
    coproc TRIGGER { "$driver" trigger "Trigger $i"; }
    read -r ready <&"${TRIGGER[0]}"
    python3 -c 'import time; print("%.6f" % time.monotonic())' >>"$work/starts"
    echo go >"$fifo"
    read -r end <&"${TRIGGER[0]}" || end=""
    echo "$end" >>"$work/ends"
    wait "$TRIGGER_PID" 2>/dev/null || true
    if [ "$ready" != ready ] || [ -z "$end" ]; then
        echo "FAIL trigger $i" >&2
        failed=1
    fi
    kill "$foot" 2>/dev/null
    wait "$foot" 2>/dev/null
done
latency "window title to the trigger's first key" "$work/starts" "$work/ends"

exit $failed
