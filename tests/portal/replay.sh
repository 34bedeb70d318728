#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Replay through the portal journal into weston-terminal running `cat > FILE` on KWin, straight
# into KWin where $QUORVEL_KWIN_INPUT lets the tool and else through the portal: the
# person's Esc cancels a replay that holds Shift, leaving nothing held for the next one; each
# replay ends exactly once; keys go by their recorded symbols or, where the layout lacks one on
# a plain key, by their keycode; high speed drops the recorded gaps; an Esc the replay sends
# does not cancel; a drag lands where it was recorded; and quorvelctl replay goes the same way.
# Usage (under scripts/with-kwin.sh): replay.sh PORTAL_REPLAY QUORVELCTL
set -uo pipefail
replay_tool=${1:?usage: replay.sh PORTAL_REPLAY QUORVELCTL}
ctl=${2:?usage: replay.sh PORTAL_REPLAY QUORVELCTL}
source "$(dirname "$0")/lib.bash"
failed=0

replay_journals "$work"
# A drag along the second line of a terminal filling the screen (cells of about 9 by 16
# pixels), then Ctrl+Shift+C: the terminal copies what the drag selected.
journal "$work/drag.dat" 0 '0 M 2 24' '0 B+ 1 2 24' '50 M 30 24' '50 M 58 24' \
    '50 B- 1 58 24' '50 K+ 37 0xffe3' '0 K+ 50 0xffe1' '0 K+ 54 0x63' '0 K- 54 0x63' \
    '0 K- 50 0xffe1' '0 K- 37 0xffe3'

# replays NAME EXPECTED_TEXT EXPECTED_ENDS TOOL_ARGS...: the ends are "done SECONDS" or
# "cancelled SECONDS", one per replay, and must match the pattern.
replays() {
    local name=$1 text=$2 pattern=$3 ends status
    shift 3
    start_terminal "$work/$name.txt" || { failed=1; return; }
    ends=$("$replay_tool" "$@" 2>"$work/$name.err")
    status=$?
    wait_for_terminal 5
    cat "$work/$name.err" >&2
    replay_outcome "$name" "$text" "$pattern" "$ends" $status "$work/$name.txt"
}
# The person's Esc while the replay holds Shift: KWin sees Shift+Esc.
(sleep 2 && echo 1 >"$QUORVEL_PERSON_KEYS") &
replays recorded "Ab'/n" 'cancelled [1-4]\.[0-9]+ done (0\.[89]|[1-9])[0-9.]* ' \
    --escape "$work/held.dat" "$work/keys.dat"
replays fast "b'/n" 'done 0\.[0-3][0-9]* ' --fast "$work/keys.dat"
# The person's Esc 2 seconds in, then the line ends by the person's keys.
(sleep 2 && echo 1 >"$QUORVEL_PERSON_KEYS" && sleep 0.5 && echo 28 >"$QUORVEL_PERSON_KEYS" &&
    echo 29+32 >"$QUORVEL_PERSON_KEYS") &
replays escape $'a\eb' 'cancelled [1-3]\.[0-9]+ ' --escape "$work/escape.dat"

shell=$work/lines.sh
printf '#!/bin/sh\nprintf "first line\\nsecond line\\n"\nexec cat > "%s"\n' "$work/drag.txt" >"$shell"
chmod +x "$shell"
weston-terminal --fullscreen --shell="$shell" >/dev/null 2>&1 &
terminal_pid=$!
wait_until 100 test -e "$work/drag.txt"
sleep 0.5
ends=$("$replay_tool" "$work/drag.dat")
copied=$(timeout 3 wl-paste --no-newline 2>/dev/null)
echo "drag: $ends, copied [$copied]"
case "$copied" in
secon | second | "second ") ;;
*)
    echo "FAIL drag: the pointer did not go where it was recorded" >&2
    failed=1
    ;;
esac
kill "$terminal_pid" 2>/dev/null
start_terminal "$work/ctl.txt" || failed=1
"$ctl" replay --fast "$work/keys.dat" || { echo "FAIL quorvelctl replay: status $?" >&2; failed=1; }
wait_for_terminal 5
if [ "$(cat "$work/ctl.txt")" != "b'/n" ]; then
    echo "FAIL quorvelctl replay: replayed [$(cat "$work/ctl.txt")], expected [b'/n]" >&2
    failed=1
fi

# Straight into KWin where the session lets the tool, as the package lets Quorvel.
route=portal
[ -z "${QUORVEL_KWIN_INPUT:-}" ] || route=kwin
if ! grep -qx "route $route" "$work/recorded.err"; then
    echo "FAIL route: not through the $route: $(cat "$work/recorded.err")" >&2
    failed=1
fi

[ $failed -eq 0 ] && echo "ok replay ($route)"
exit $failed
