#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Ending on SIGTERM and SIGHUP: whatever quorvel holds down on the X server (a replay
# holding Shift) is let go before the process is gone.
set -uo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec "${QUORVEL_SOURCE_DIR:?}/scripts/with-xvfb.sh" bash "$0" "$@"
fi
: "${QUORVEL_SOURCE_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
keys_down="${QUORVEL_TEST_BIN:?}/x11_keys_down"
shift_code=$(xmodmap -pke 2>/dev/null | awk '$4 == "Shift_L" { print $2; exit }')
shift_code=${shift_code:-50}
shift_down() { "$keys_down" | grep -qx "$shift_code"; }
no_key_down() { [ -z "$("$keys_down")" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }

home="$work/home"
mkdir -p "$home"
catalogue_ini FirstRun=0 \
    -- "Name=Hold Shift" Type=3 Speed=1 FileName=Hold.dat \
    -- "Name=Long Wait" Type=4 FileName=Wait.key >"$home/macros.ini"
# Shift goes down at once and would come up only after a minute.
printf 'QUORVEL-JOURNAL\nversion 1\nkeys-only 1\n0 K+ %s 0xffe1\n60000 K- %s 0xffe1\nend 2\n' \
    "$shift_code" "$shift_code" >"$home/Hold.dat"
printf 'a<<SECS60>>b' >"$home/Wait.key"

check "no key is down to begin with" no_key_down

for signal in TERM HUP; do
    QUORVEL_HOME="$home" "$bin/quorvel" '/OPEN:Hold Shift' &
    pid=$!
    pids+=("$pid")
    check "$signal: the replay holds Shift" wait_for 20 shift_down
    kill -"$signal" "$pid"
    check "$signal: quorvel ends" wait_for 10 ended "$pid"
    wait "$pid"
    check "$signal: ends with status 0" test $? -eq 0
    check "$signal: no key stays down" no_key_down
    check "$signal: the placement is not saved" bash -c "! grep -q '^\[Position\]' '$home/macros.ini'"
done

# A run's error box open at start-up: the signal ends the program, not only the box.
broken="$work/broken"
mkdir -p "$broken"
printf '[Main]\nEntries=1\nFirstRun=0\n[Macro1]\nName=Gone\nType=4\nFileName=Gone.key\n' \
    >"$broken/macros.ini"
for signal in TERM HUP; do
    QUORVEL_HOME="$broken" "$bin/quorvel" '/OPEN:Gone' &
    pid=$!
    pids+=("$pid")
    check "$signal: the run's error box is open" wait_for 20 window_of Quorvel
    kill -"$signal" "$pid"
    check "$signal with the error box open: quorvel ends" wait_for 10 ended "$pid"
done

# Inside a run's timed wait the process ends at once rather than after the wait. This one
# with the default folders.
seed_default_folders "$home/macros.ini" "$home/Wait.key"
with_default_folders "$bin/quorvel" '/OPEN:Long Wait' &
pid=$!
pids+=("$pid")
sleep 2
kill -TERM "$pid"
check "a timed wait does not hold the end back" wait_for 10 ended "$pid"
check "no key stays down after a run" no_key_down

finish
