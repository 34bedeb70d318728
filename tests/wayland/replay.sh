#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Replay through the Wayland journal into foot running `cat > FILE`: a replay cancelled while
# it holds Shift leaves nothing held for the next one, each replay ends exactly once, and keys
# go by their recorded symbols (a wrong keycode, a symbol the US layout lacks or types only
# with Shift) or, without a symbol, by their keycode.
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
# layout, then "n" by its keycode alone; Enter and Ctrl+D end cat.
journal "$work/keys.dat" '0 K+ 30 0x62' '0 K- 30 0x62' '0 K+ 48 0xe4' '0 K- 48 0xe4' \
    '0 K+ 61 0x21' '0 K- 61 0x21' '0 K+ 57 0x0' '0 K- 57 0x0' '0 K+ 36 0xff0d' \
    '0 K- 36 0xff0d' '0 K+ 37 0xffe3' '0 K+ 40 0x64' '0 K- 40 0x64' '0 K- 37 0xffe3'

start_foot "replay target" "$work/out.txt" || exit 1
ends=$("$replay_tool" --cancel-after 300 "$work/held.dat" "$work/keys.dat")
status=$?
wait_for_foot 5
if [ $status -ne 0 ] || [ "$(cut -d' ' -f1 <<<"$ends" | tr '\n' ' ')" != "cancelled done " ]; then
    echo "FAIL: each replay ends once, the first cancelled (status $status): $ends" >&2
    failed=1
fi
if [ "$(cat "$work/out.txt")" != "Abä!n" ]; then
    echo "FAIL: replayed text [$(cat "$work/out.txt")], expected [Abä!n]" >&2
    failed=1
fi
[ $failed -eq 0 ] && echo "ok replay"
exit $failed
