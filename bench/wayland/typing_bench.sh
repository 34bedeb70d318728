#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Types 2,000 printable ASCII and 2,000 distinct CJK characters into foot running `cat > FILE`,
# with Quorvel's Wayland backend and with wtype in the same run, and prints characters per
# second (from the start of the typing until foot has ended on the Ctrl+D after the text) and
# whether the text arrived exactly.
# Usage: scripts/with-sway.sh bench/wayland/typing_bench.sh BUILD/tests/wayland_type [COUNT]
# (a release build gives Quorvel's own figures; a sanitizer build is several times slower).
set -uo pipefail
type_tool=${1:?usage: typing_bench.sh WAYLAND_TYPE [COUNT]}
count=${2:-2000}
source "$(dirname "$0")/../../tests/wayland/lib.bash"

now() { date +%s%N; }

# run NAME TEXT COMMAND...: types with the command, prints one line of figures.
run() {
    local name=$1 text=$2
    shift 2
    local out="$work/$name.out"
    printf '%s\n' "$text" >"$work/$name.expected"
    start_foot "bench $name" "$out" || return 1
    local start end
    start=$(now)
    "$@" >/dev/null
    wait_for_foot 60
    local status=$?
    end=$(now)
    local seconds exact="exact"
    seconds=$(python3 -c "print(($end - $start) / 1e9)")
    if [ $status -eq 255 ]; then
        exact="foot did not end: Ctrl+D lost?"
    elif [ $status -gt 128 ]; then
        exact="foot dropped by the compositor or crashed (status $status)"
    elif ! cmp -s "$out" "$work/$name.expected"; then
        exact="NOT exact: $(python3 -c 'import sys
a = open(sys.argv[1], encoding="utf-8").read()
b = open(sys.argv[2], encoding="utf-8", errors="replace").read()
print(f"{len(a) - len(b)} of {len(a)} characters missing")' "$work/$name.expected" "$out")"
    fi
    python3 -c "import sys
print(f'{sys.argv[1]:<16} {int(sys.argv[2]):>6} chars {float(sys.argv[3]):8.3f} s \
{int(sys.argv[2]) / float(sys.argv[3]):10.0f} chars/s  {sys.argv[4]}')" \
        "$name" "$count" "$seconds" "$exact"
}

for kind in ascii cjk; do
    text=$("${kind}_text" "$count")
    printf '%s<<ENTER>><<CTRL>>d' "${text//$'\n'/<<ENTER>>}" >"$work/$kind.key"
    run "quorvel-$kind" "$text" "$type_tool" "$work/$kind.key"
    run "wtype-$kind" "$text" wtype "$text"$'\n' -M ctrl d -m ctrl
done
