#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Replay through the Wayland journal into foot running `cat > FILE`: a replay cancelled while
# it holds Shift leaves nothing held for the next one, each replay ends exactly once, and keys
# go by their recorded symbols (a wrong keycode, a symbol the US layout lacks or types only
# with Shift) or, without a symbol, by their keycode; recorded speed keeps the recorded gaps,
# high speed drops them; the user's Esc cancels a replay, and one the replay sends does not.
# Usage (under scripts/with-sway.sh): replay.sh WAYLAND_REPLAY
set -uo pipefail
replay_tool=${1:?usage: replay.sh WAYLAND_REPLAY}
source "$(dirname "$0")/lib.bash"
failed=0

journal() { # file events...
    local file=$1
    shift
    {
        printf 'QUORVEL-JOURNAL\nversion 1\nkeys-only 1\n'
        printf '%s\n' "$@"
        printf 'end %d\n' $#
    } >"$file"
}
# Shift held for 5 seconds around an "a".
journal "$work/held.dat" '0 K+ 50 0xffe1' '0 K+ 38 0x61' '0 K- 38 0x61' '5000 K- 50 0xffe1'
# "b" recorded on the keycode of "u", "ä" on that of "'", "!" unshifted as on a French
# layout, then "n" by its keycode alone, 0.8 seconds in all; Enter and Ctrl+D end cat.
journal "$work/keys.dat" '0 K+ 30 0x62' '0 K- 30 0x62' '400 K+ 48 0xe4' '0 K- 48 0xe4' \
    '400 K+ 61 0x21' '0 K- 61 0x21' '0 K+ 57 0x0' '0 K- 57 0x0' '0 K+ 36 0xff0d' \
    '0 K- 36 0xff0d' '0 K+ 37 0xffe3' '0 K+ 40 0x64' '0 K- 40 0x64' '0 K- 37 0xffe3'
# "a", Esc, "b", and a "c" 3 seconds later.
journal "$work/escape.dat" '0 K+ 38 0x61' '0 K- 38 0x61' '0 K+ 9 0xff1b' '0 K- 9 0xff1b' \
    '0 K+ 56 0x62' '0 K- 56 0x62' '3000 K+ 54 0x63' '0 K- 54 0x63'

# replays NAME EXPECTED_TEXT EXPECTED_ENDS TOOL_ARGS...: the ends are "done SECONDS" or
# "cancelled SECONDS", one per replay, and must match the pattern.
replays() {
    local name=$1 text=$2 pattern=$3 ends status
    shift 3
    start_foot "replay $name" "$work/$name.txt" || { failed=1; return; }
    ends=$("$replay_tool" "$@")
    status=$?
    wait_for_foot 5
    echo "$name: $(tr '\n' ' ' <<<"$ends")"
    if [ $status -ne 0 ] || ! [[ "$(tr '\n' ' ' <<<"$ends")" =~ ^$pattern$ ]]; then
        echo "FAIL $name: the ends (status $status) do not match $pattern" >&2
        failed=1
    fi
    if [ "$(cat "$work/$name.txt")" != "$text" ]; then
        echo "FAIL $name: replayed [$(cat "$work/$name.txt")], expected [$text]" >&2
        failed=1
    fi
}
replays recorded Abä!n 'cancelled 0\.[0-9]+ done (0\.[89]|[1-9])[0-9.]* ' \
    --cancel-after 300 "$work/held.dat" "$work/keys.dat"
replays fast bä!n 'done 0\.[0-3][0-9]* ' --fast "$work/keys.dat"
# The user's Esc a second in; the line then ends by the user's keys.
(sleep 1 && wtype -k Escape && sleep 0.3 && wtype -k Return -M ctrl -k d) &
replays escape $'a\eb' 'cancelled [0-2]\.[0-9]+ ' "$work/escape.dat"
[ $failed -eq 0 ] && echo "ok replay"
exit $failed
