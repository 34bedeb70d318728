#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Typing through the GNOME backend into foot running `cat > FILE`, read back exactly: 2,000
# ASCII characters (also into a foot that stops reading for a moment, in lines and as one line
# of 4,000 with no key between to hold typing back), 2,000 distinct CJK
# characters (none of them on the layout), a CJK line of more bytes than one Wayland message
# holds (the terminal's line holds 4,095) and a line of mixed scripts. Beside them, the figure
# of one blocking call per key through mutter's own remote-desktop keyboard, in the same run
# (ASCII only: it drops what the layout lacks).
# Usage (under scripts/with-gnome.sh): typing.sh GNOME_DRIVER
set -uo pipefail
driver=${1:?usage: typing.sh GNOME_DRIVER}
source "$(dirname "$0")/lib.bash"

rate() { # characters seconds
    python3 -c 'import sys; print("%.0f" % (int(sys.argv[1]) / float(sys.argv[2])))' "$1" "$2"
}

# check NAME TEXT [PAUSE]: types the text as a macro, then Enter and Ctrl+D; with PAUSE, foot
# stops reading for that long as typing starts: the shell drops a client whose queue fills.
check() {
    local name=$1 out="$work/$1.out" status=0 result
    printf '%s<<ENTER>><<CTRL>>d' "${2//$'\n'/<<ENTER>>}" >"$work/$name.key"
    printf '%s\n' "$2" >"$work/$name.expected"
    start_foot "typing $name" "$out" || { failed=1; return; }
    if [ -n "${3:-}" ]; then
        kill -STOP "$foot_pid"
        (sleep "$3" && kill -CONT "$foot_pid") &
    fi
    result=$("$driver" type "$work/$name.key") || failed=1
    wait_for_foot 10 || status=$?
    [ $status -eq 0 ] || { echo "FAIL $name: foot did not end (status $status)" >&2; failed=1; }
    if cmp -s "$out" "$work/$name.expected"; then
        echo "ok $name ($result)"
        local chars
        chars=$(python3 -c 'import sys; print(len(open(sys.argv[1]).read()))' "$work/$name.expected")
        echo "figure $name: $(rate "$chars" "${result##* }") characters a second"
    else
        echo "FAIL $name: typed text differs ($result)" >&2
        diff "$work/$name.expected" "$out" | head -10 >&2
        failed=1
    fi
}

ascii=$(ascii_text 2000)
cjk=$(cjk_text 2000)
check ascii "$ascii"
check ascii-paused "$ascii" 1
check line-paused "$(ascii_text 4000 | tr -d '\n')" 1
check cjk "$cjk"
check cjk-line "$(cjk_text 1360 | tr -d '\n')"
check mixed 'ASCII é ß Привет Ωμέγα 東京 🙂 done'

# The one-call-per-key route, into foot the same way.
printf '%s\n' "$ascii" >"$work/naive.expected"
start_foot "typing naive" "$work/naive.out" || failed=1
rate=$(python3 "$keyboard" type "$work/naive.expected")
python3 "$keyboard" press 29+32
wait_for_foot 10 || true
expect "naive route exact" "" "$(cmp "$work/naive.expected" "$work/naive.out" 2>&1)"
echo "figure ascii, one blocking call per key: $rate characters a second"

exit $failed
