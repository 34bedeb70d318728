#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hot keys through the GNOME backend, pressed on mutter's own remote-desktop keyboard: a press
# types into foot, a combination held is refused to a second client, a killed client's grab is
# released, and the figure of a press to the first typed key.
# Usage (under scripts/with-gnome.sh): hotkeys.sh GNOME_DRIVER
set -uo pipefail
driver=${1:?usage: hotkeys.sh GNOME_DRIVER}
source "$(dirname "$0")/lib.bash"
ctrl_alt_g=29+56+34 # evdev
presses=30

start_foot "hot keys" "$work/out" || exit 1
coproc HOTKEY { "$driver" hotkey 3 0x47 "$presses"; } # Ctrl+Alt+G
read -r ready <&"${HOTKEY[0]}"
expect "registered" ready "$ready"
expect "held elsewhere: refused" refused "$("$driver" hotkey 3 0x47 1)"
python3 "$keyboard" press "$ctrl_alt_g" "$presses" >"$work/starts"
: >"$work/ends"
for _ in $(seq 1 "$presses"); do
    read -r -t 10 end <&"${HOTKEY[0]}" || break
    echo "$end" >>"$work/ends"
done
wait "$HOTKEY_PID" 2>/dev/null
expect "every press typed" "$presses" "$(wc -l <"$work/ends")"
latency "hot key to the first typed key" "$work/starts" "$work/ends"

# Killed while holding the grab: the shell lets it go.
coproc HOLDER { "$driver" hotkey 3 0x47 1; }
read -r ready <&"${HOLDER[0]}"
kill -9 "$HOLDER_PID"
wait "$HOLDER_PID" 2>/dev/null
sleep 0.3
coproc AGAIN { "$driver" hotkey 3 0x47 1; }
read -r ready <&"${AGAIN[0]}"
expect "a killed client's grab is released" ready "$ready"
kill "$AGAIN_PID" 2>/dev/null

python3 "$keyboard" press 29+32 # Ctrl+D ends foot
wait_for_foot 10 || true
expect "the presses typed into the window, the keys themselves not" \
    "$(printf 'x%.0s' $(seq 1 "$presses"))" "$(cat "$work/out")"
exit $failed
