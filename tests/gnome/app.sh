#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on headless GNOME with its extension: an advanced macro types into foot
# running `cat > FILE`, run from the command line and by its hot key pressed on mutter's own
# keyboard; a window title fires its trigger; a recording made on X replays into the window
# it clicked.
# Usage (under scripts/with-gnome.sh): app.sh GNOME_DRIVER
set -uo pipefail
: "${QUORVEL_SOURCE_DIR:?}"
driver=${1:?usage: app.sh GNOME_DRIVER}
# shellcheck source=program.bash
source "$(dirname "${BASH_SOURCE[0]}")/program.bash"

text='Hello, GNOME! ~^@{} é 東京'
catalogue_ini FirstRun=0 SearchInterval=60000 \
    -- Name=Greeting Type=4 HotKey=49236 FileName=Greeting.key \
    -- Name=Fired Type=1 "FileName=sh~~-c 'echo fired >> $work/fired'~~" \
    "Trigger=trigger window" \
    -- Name=Replay Type=3 FileName=Replay.dat Speed=1 >"$work/macros.ini"
printf '%s<<ENTER>><<CTRL>>d' "$text" >"$work/Greeting.key"
cp "$src/tests/wayland/click-and-type.dat" "$work/Replay.dat"
seed_default_folders "$work/macros.ini" "$work/Greeting.key" "$work/Replay.dat"

typed() { # file
    wait_for_foot 10 && [ "$(cat "$1")" = "$text" ]
}

start_foot "command line target" "$work/command-line.txt" || fail "foot did not start"
in_fresh_home timeout 20 "$bin/quorvel" '/Open:"Greeting"' /Close
check "the command line run ends by itself" test $? -eq 0
check "the command line run types the text exactly" typed "$work/command-line.txt"

in_fresh_home "$bin/quorvel" &
pids+=($!)
check "the main window shows" wait_until 100 has_window "Ostrin Quorvel"
sleep 1
start_foot "hot key target" "$work/hot-key.txt" || fail "foot did not start"
python3 "$keyboard" press 29+56+20 >/dev/null # Ctrl+Alt+T
check "the hot key types the text exactly" typed "$work/hot-key.txt"

foot --title="trigger window" sleep 60 2>/dev/null &
pids+=($!)
wait_until 100 has_window "trigger window" || fail "foot did not start"
check "a window title fires its trigger at once" wait_until 20 test -e "$work/fired"

kill -TERM "${pids[0]}"
wait "${pids[0]}"
check "TERM ends the program cleanly" test $? -eq 0

# The recording (tests/wayland/click-and-type.dat) clicks at 960,400, then types "Right, 42:
# Hello!", Enter and Ctrl+D. A full-screen foot is under that point; a small one in the
# middle of the screen has the focus: only a click that lands moves the typing to the first.
start_foot "right" "$work/right.txt" --fullscreen || fail "foot did not start"
right_pid=$foot_pid
start_foot "left" "$work/left.txt" --window-size-chars=30x8 || fail "foot did not start"
pids+=("$foot_pid")
"$driver" focus left || fail "the small foot did not take the focus"
in_fresh_home timeout 20 "$bin/quorvel" '/Open:"Replay"' /Close
check "the replay ends by itself" test $? -eq 0
foot_pid=$right_pid
replayed() { wait_for_foot 10 && [ "$(cat "$work/right.txt")" = "Right, 42: Hello!" ]; }
check "the replay types into the clicked window exactly" replayed
check "and nothing into the other" test ! -s "$work/left.txt"
finish
