#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Replay through the Wayland journal into foot running `cat > FILE`: a replay cancelled while
# it holds Shift leaves nothing held for the next one, each replay ends exactly once, and keys
# go by their recorded symbols (a wrong keycode, a symbol the US layout lacks or types only
# with Shift) or, without a symbol, by their keycode; recorded speed keeps the recorded gaps,
# high speed drops them; the user's Esc cancels a replay, and one the replay sends does not.
# quorvelctl replay binds Esc through sway too: a replay killed leaves it bound until the
# next binder (the doctor names it meanwhile), TERM ends a fast replay at once, and a
# compositor that goes away is said as such, not as a cancel.
# Usage (under scripts/with-sway.sh): replay.sh WAYLAND_REPLAY QUORVELCTL
set -uo pipefail
replay_tool=${1:?usage: replay.sh WAYLAND_REPLAY QUORVELCTL}
ctl=${2:?usage: replay.sh WAYLAND_REPLAY QUORVELCTL}
source "$(dirname "$0")/lib.bash"
failed=0

replay_journals "$work"

# replays NAME EXPECTED_TEXT EXPECTED_ENDS TOOL_ARGS...: the ends are "done SECONDS" or
# "cancelled SECONDS", one per replay, and must match the pattern.
replays() {
    local name=$1 text=$2 pattern=$3 ends status
    shift 3
    start_foot "replay $name" "$work/$name.txt" || { failed=1; return; }
    ends=$("$replay_tool" "$@")
    status=$?
    wait_for_foot 5
    replay_outcome "$name" "$text" "$pattern" "$ends" $status "$work/$name.txt"
}
replays recorded Abä!n 'cancelled 0\.[0-9]+ done (0\.[89]|[1-9])[0-9.]* ' \
    --cancel-after 300 "$work/held.dat" "$work/keys.dat"
replays fast bä!n 'done 0\.[0-3][0-9]* ' --fast "$work/keys.dat"
# The user's Esc a second in; the line then ends by the user's keys.
(sleep 1 && wtype -k Escape && sleep 0.3 && wtype -k Return -M ctrl -k d) &
replays escape $'a\eb' 'cancelled [0-2]\.[0-9]+ ' "$work/escape.dat"
# quorvelctl: a motion every 0.1 s for a minute, and 300,000 motions at once.
motions() { # file count delay
    python3 -c 'import sys
n, delay = int(sys.argv[1]), sys.argv[2]
print("QUORVEL-JOURNAL\nversion 1\nkeys-only 0")
for i in range(n):
    print("%s M %d %d" % (delay, i % 500, i % 400))
print("end %d" % n)' "$2" "$3" >"$1"
}
motions "$work/slow.dat" 600 100
motions "$work/many.dat" 300000 0
state=$XDG_RUNTIME_DIR/quorvel
# shellcheck disable=SC2317 # run by wait_until
escape_bound_by() { # pid
    cat "$state/sway-hotkeys.$1".* 2>/dev/null | grep -qx Escape
}
# Whether an Esc pressed runs a binding of ours.
escape_bound() {
    timeout 1 swaymsg -t subscribe -m '["binding"]' >"$work/bindings" 2>/dev/null &
    local watcher=$!
    sleep 0.3
    wtype -k Escape
    wait $watcher
    grep -q 'nop quorvel:' "$work/bindings"
}
check_ctl() { # what command...
    local what=$1
    shift
    if ! "$@"; then
        echo "FAIL quorvelctl: $what" >&2
        failed=1
    fi
}

"$ctl" replay "$work/slow.dat" 2>/dev/null &
pid=$!
check_ctl "Esc is bound while a replay runs" wait_until 200 escape_bound_by $pid
kill -KILL $pid
wait $pid 2>/dev/null
check_ctl "Esc stays bound after a killed replay" escape_bound
check_ctl "the doctor names the stale binding" \
    grep -qE '^Stale hot keys: (.*, )?Escape[ ,]' <("$ctl" doctor)
"$ctl" replay "$work/keys.dat" 2>/dev/null
check_ctl "the next replay removes the killed one's Esc" test "$(escape_bound && echo bound)" = ""
check_ctl "and its state file" test -z "$(ls "$state")"

"$ctl" replay --fast "$work/many.dat" 2>"$work/term.err" &
pid=$!
wait_until 300 escape_bound_by $pid
kill -TERM $pid
SECONDS=0
wait $pid
status=$?
echo "fast replay: status $status ${SECONDS}s after TERM"
check_ctl "TERM ends a fast replay at once (status $status, ${SECONDS}s)" \
    test $status -eq 130 -a $SECONDS -le 2
check_ctl "and unbinds Esc" test "$(escape_bound && echo bound)" = ""

# Last: sway goes.
"$ctl" replay "$work/slow.dat" 2>"$work/gone.err" &
pid=$!
wait_until 200 escape_bound_by $pid
swaymsg -q exit
wait $pid
status=$?
echo "compositor gone: status $status, $(cat "$work/gone.err")"
check_ctl "a compositor gone ends the replay with an error, not as a cancel" \
    test $status -eq 1 -a "$(grep -c 'Wayland compositor' "$work/gone.err")" -eq 1

[ $failed -eq 0 ] && echo "ok replay"
exit $failed
