#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on weston, which offers neither a virtual keyboard nor its windows' titles:
# it starts with the default folders and stays up, its status bar names what this desktop
# lacks, and a macro that types or looks for a window says why it cannot instead of failing.
# Runs under scripts/with-weston.sh, inside its own D-Bus session.
set -uo pipefail
: "${QUORVEL_SOURCE_DIR:?}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../e2e/lib.bash"

qt_on_wayland
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0

catalogue_ini FirstRun=0 \
    -- Name=Greeting Type=4 HotKey=49236 FileName=Greeting.key \
    -- Name=Focus Type=4 FileName=Focus.key >"$work/macros.ini"
printf 'Hello, weston!' >"$work/Greeting.key"
printf '<<FOCUS:Anything>>' >"$work/Focus.key"
seed_default_folders "$work/macros.ini" "$work/Greeting.key" "$work/Focus.key"

# A fresh home and no XDG_* but the runtime folder, where the compositor's socket is.
in_fresh_home() { # command...
    with_default_folders env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"
}
driver() { # box|status, text
    timeout 30 /usr/bin/python3 -B "$here/weston.py" "$@"
}

while IFS='|' read -r macro message; do
    in_fresh_home "$bin/quorvel" "/Open:\"$macro\"" /Close >"$work/run.log" 2>&1 &
    run=$!
    pids+=("$run")
    check "$macro from the command line says: $message" driver box "$message"
    # As after any failed run, the program stays so that its window can be reached.
    check "and stays up" kill -0 "$run"
    kill -TERM "$run"
    wait "$run"
    check "until TERM ends it cleanly" test $? -eq 0
done <<'RUNS'
Greeting|Typing is not possible: this compositor offers no virtual keyboard
Focus|Window commands are not possible: this compositor does not tell programs its windows' titles
RUNS

in_fresh_home "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")
check "the status bar names what weston lacks" driver status "Not on this desktop: typing, hot \
keys, window triggers, focus, replay, recording. See \"Where Quorvel works\" in the help."
sleep 1
check "the program stays up" kill -0 "$quorvel"
kill -TERM "$quorvel"
wait "$quorvel"
check "TERM ends it cleanly" test $? -eq 0
[ "$failed" -eq 0 ] || sed 's/^/    quorvel: /' "$work/quorvel.log" "$work/run.log" | tail -30
finish
