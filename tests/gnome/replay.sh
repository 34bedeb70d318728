#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Replay through the GNOME journal into foot running `cat > FILE`: the person's Esc cancels a
# replay that holds Shift, leaving nothing held for the next one; each replay ends exactly
# once; keys go by their recorded symbols or, where the layout lacks one on a plain key, by
# their keycode; high speed drops the recorded gaps; an Esc the replay sends reaches the
# window; clicks land where they were recorded, read back from foot's mouse reports; and
# quorvelctl replay goes the same way.
# Usage (under scripts/with-gnome.sh): replay.sh GNOME_DRIVER QUORVELCTL
set -uo pipefail
driver=${1:?usage: replay.sh GNOME_DRIVER QUORVELCTL}
ctl=${2:?usage: replay.sh GNOME_DRIVER QUORVELCTL}
source "$(dirname "$0")/lib.bash"
esc=1 enter=28 ctrl=29 d=32 # evdev

replay_journals "$work"
# Clicks at two points of the 1280 by 800 screen, then the line ends.
journal "$work/clicks.dat" 0 '0 M 400 300' '0 B+ 1 400 300' '50 B- 1 400 300' \
    '50 M 1000 600' '50 B+ 1 1000 600' '50 B- 1 1000 600' "${enter_ctrl_d[@]}"

# replays NAME EXPECTED_TEXT EXPECTED_ENDS [--escape-after SECONDS] DRIVER_ARGS...: the ends
# are "done SECONDS" or "cancelled SECONDS", one per replay, and must match the pattern; the
# person presses Esc that long after the replays start, and ends the line 0.3 s later.
replays() {
    local name=$1 text=$2 pattern=$3 escape_after="" status
    shift 3
    if [ "$1" = --escape-after ]; then
        escape_after=$2
        shift 2
    fi
    start_foot "replay $name" "$work/$name.txt" || { failed=1; return; }
    "$driver" replay "$@" >"$work/$name.ends" &
    local replayer=$!
    wait_until 50 grep -q ready "$work/$name.ends"
    if [ -n "$escape_after" ]; then
        sleep "$escape_after"
        python3 "$keyboard" press $esc >/dev/null
        if [ "$name" = escape ]; then
            sleep 0.3
            python3 "$keyboard" press $enter >/dev/null
            python3 "$keyboard" press $ctrl+$d >/dev/null
        fi
    fi
    wait $replayer
    status=$?
    wait_for_foot 5
    replay_outcome "$name" "$text" "$pattern" "$(cat "$work/$name.ends")" $status \
        "$work/$name.txt"
}
replays recorded "Ab'/n" 'cancelled 0\.[0-9]+ done (0\.[89]|[1-9])[0-9.]* ' \
    --escape-after 0.3 "$work/held.dat" "$work/keys.dat"
replays fast "b'/n" 'done 0\.[0-3][0-9]* ' --fast "$work/keys.dat"
replays escape $'a\eb' 'cancelled [0-2]\.[0-9]+ ' --escape-after 1 "$work/escape.dat"

# Clicks into a full-screen foot that reports them (SGR: ESC [ < button ; column ; row M).
shell=$work/report.sh
printf '#!/bin/sh\nsleep 1\nstty size > "%s"\nprintf "\\033[?1000h\\033[?1006h"\nexec cat > "%s"\n' \
    "$work/size" "$work/clicks.txt" >"$shell"
chmod +x "$shell"
foot --fullscreen --title="clicks" "$shell" 2>/dev/null &
foot_pid=$!
wait_until 100 test -e "$work/clicks.txt" && sleep 0.5
"$driver" replay "$work/clicks.dat" >/dev/null
wait_for_foot 5
read -r rows cols <"$work/size"

python3 - "$work/clicks.txt" "$rows" "$cols" <<'PY'
import re, sys
text = open(sys.argv[1], errors="replace").read()
rows, cols = int(sys.argv[2]), int(sys.argv[3])
presses = [(int(c), int(r)) for c, r in re.findall(r"\[<0;(\d+);(\d+)M", text)]
want = [(400 * cols // 1280 + 1, 300 * rows // 800 + 1), (1000 * cols // 1280 + 1, 600 * rows // 800 + 1)]
print("clicks: %s, expected about %s on %dx%d cells" % (presses, want, cols, rows))
ok = len(presses) == 2 and all(abs(p[0] - w[0]) <= 1 and abs(p[1] - w[1]) <= 1 for p, w in zip(presses, want))
sys.exit(0 if ok else 1)
PY
expect "clicks land where they were recorded" 0 $?

start_foot "quorvelctl replay" "$work/ctl.txt" || exit 1
"$ctl" replay --fast "$work/keys.dat"
expect "quorvelctl replay: status" 0 $?
wait_for_foot 5
expect "quorvelctl replay: replayed" "b'/n" "$(cat "$work/ctl.txt")"

[ $failed -eq 0 ] && echo "ok replay"
exit $failed
