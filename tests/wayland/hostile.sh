#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program against a hostile peer on sway's IPC socket (fake_sway.py: an event
# flood, a config reply nested 3,000,000 deep, a 60 MB one): TERM a few seconds into the start
# ends it at once and cleanly, whatever the peer does.
# Runs under scripts/with-sway.sh, which gives the Wayland display.
set -uo pipefail
: "${QUORVEL_SOURCE_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.bash"
e2e_work=$work
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
trap 'wayland_cleanup; work=$e2e_work; cleanup' EXIT

qt_on_wayland

catalogue_ini FirstRun=0 -- Name=Greeting Type=4 HotKey=49236 FileName=Greeting.key \
    >"$work/macros.ini"
printf 'hello' >"$work/Greeting.key"
seed_default_folders "$work/macros.ini" "$work/Greeting.key"

ended() { ! kill -0 "$1" 2>/dev/null; }
for mode in flood deep large; do
    python3 "$src/tests/wayland/fake_sway.py" "$work/fake.sock" $mode &
    peer=$!
    wait_until 50 test -S "$work/fake.sock" || fail "the fake peer did not start"
    with_default_folders env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" SWAYSOCK="$work/fake.sock" \
        timeout -s KILL 60 "$bin/quorvel" &
    app=$!
    sleep 3
    kill -TERM $app
    SECONDS=0
    check "$mode: TERM ends the program at once" wait_until 30 ended $app
    wait $app
    status=$?
    echo "$mode: status $status ${SECONDS}s after TERM"
    check "$mode: and cleanly" test $status -eq 0
    kill $peer
    wait $peer 2>/dev/null
    rm -f "$work/fake.sock"
done
finish
