#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hot keys through the GNOME backend, pressed on mutter's own remote-desktop keyboard: a press
# types into foot, a combination held is refused to a second client, a killed client's grab and
# a gone client's keys are released, and the figure of a press to the first typed key.
# Usage (under scripts/with-gnome.sh): hotkeys.sh GNOME_DRIVER
set -uo pipefail
driver=${1:?usage: hotkeys.sh GNOME_DRIVER}
source "$(dirname "$0")/lib.bash"
ctrl_alt_g=29+56+34 # evdev
presses=30

start_foot "hot keys" "$work/out" || exit 1

# driver hotkey N into FILE, in the background; waits until it says ready or refused.
listen() { # presses file
    "$driver" hotkey 3 0x47 "$1" >"$2" & # Ctrl+Alt+G
    listener=$!
    wait_until 100 grep -q 'ready\|refused' "$2"
}

listen "$presses" "$work/ends"
expect "registered" ready "$(head -n1 "$work/ends")"
expect "held elsewhere: refused" refused "$("$driver" hotkey 3 0x47 1)"
python3 "$keyboard" press "$ctrl_alt_g" "$presses" >"$work/starts"
wait "$listener"
expect "every press typed" "$presses" "$(($(wc -l <"$work/ends") - 1))"
sed -i 1d "$work/ends"
latency "hot key to the first typed key" "$work/starts" "$work/ends"

# Killed while holding the grab: the shell lets it go.
listen 1 "$work/holder"
kill -9 "$listener"
wait "$listener" 2>/dev/null
# shellcheck disable=SC2317 # run by wait_until
grabbed_again() { [ "$("$driver" hotkey 3 0x47 0)" = ready ]; }
expect "a killed client's grab is released" 0 "$(wait_until 20 grabbed_again; echo $?)"

# A client gone with a key down: the shell lets go of it (Shift, mask 1).
shell() { # method, arguments...
    local method=$1
    shift
    gdbus call --session --dest example.ostrin.Quorvel.Shell --object-path \
        /example/ostrin/Quorvel/Shell --method "example.ostrin.Quorvel.Shell1.$method" "$@"
}
shell Keys "[(42, true)]" >/dev/null
# shellcheck disable=SC2317 # run by wait_until
shift_up() { [ "$(shell Modifiers)" = "(uint32 0,)" ]; }
expect "a gone client's keys are let go" 0 "$(wait_until 20 shift_up; echo $?)"

python3 "$keyboard" press 29+32 >/dev/null # Ctrl+D ends foot
wait_for_foot 10 || true
expect "the presses typed into the window, the keys themselves not" \
    "$(printf 'x%.0s' $(seq 1 "$presses"))" "$(cat "$work/out")"
exit $failed
