#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Types 2,000 printable ASCII and 2,000 distinct CJK characters into weston-terminal running
# `cat > FILE` on KWin, through Quorvel's sink by KWin's own input protocol (as the package's
# desktop entry lets Quorvel) and by the portal, and, in the same run, one blocking portal call
# per key event as the portal typing tools do; prints characters per second (until
# the desktop had every key) and whether the text arrived exactly.
# Usage: QUORVEL_KWIN_INPUT=PORTAL_TYPE scripts/with-kwin.sh tests/portal/typing_bench.sh BUILD/tests/portal/portal_type [COUNT]
# (a release build gives Quorvel's own figures; a sanitizer build is slower).
set -uo pipefail
type_tool=${1:?usage: typing_bench.sh PORTAL_TYPE [COUNT]}
count=${2:-2000}
source "$(dirname "$0")/lib.bash"

# run NAME TEXT [--naive | --portal]: types, prints one line of figures.
run() {
    local name=$1 text=$2 naive='' route='' out="$work/$1.out" input="$work/$1.in"
    case "${3:-}" in
    --naive) naive=--naive ;;
    --portal) route=--portal ;;
    esac
    printf '%s\n' "$text" >"$work/$name.expected"
    if [ -n "$naive" ]; then
        printf '%s\n' "$text" >"$input"
    else
        printf '%s<<ENTER>><<CTRL>>d' "${text//$'\n'/<<ENTER>>}" >"$input"
    fi
    start_terminal "$out" || return 1
    local seconds
    seconds=$("$type_tool" ${naive:+"$naive"} ${route:+"$route"} "$input" | sed -n 's/^seconds \([0-9.]*\).*/\1/p')
    if [ -n "$naive" ]; then
        # It types the text only: the terminal goes once what arrived is written.
        sleep 1
        kill "$terminal_pid"
    fi
    wait_for_terminal 20
    local exact=exact
    if ! cmp -s "$out" "$work/$name.expected"; then
        exact="NOT exact: $(python3 -c 'import sys
a = open(sys.argv[1], encoding="utf-8").read()
b = open(sys.argv[2], encoding="utf-8", errors="replace").read()
print(f"{len(a) - len(b)} of {len(a)} characters missing or wrong")' \
            "$work/$name.expected" "$out")"
    fi
    python3 -c "import sys
print(f'{sys.argv[1]:<16} {int(sys.argv[2]):>6} chars {float(sys.argv[3]):8.3f} s \
{int(sys.argv[2]) / float(sys.argv[3]):10.0f} chars/s  {sys.argv[4]}')" \
        "$name" "$count" "${seconds:-0}" "$exact"
}

for kind in ascii cjk; do
    text=$("${kind}_text" "$count")
    run "quorvel-$kind" "$text"
    run "portal-$kind" "$text" --portal
    run "naive-$kind" "$text" --naive
done
