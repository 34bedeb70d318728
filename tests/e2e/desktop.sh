#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on a real desktop (Xvfb + openbox), with xterm and xdotool as peers:
# hot keys, window-title triggers, focus and look-for, and two copies sharing a hot key.
set -uo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec "${QUORVEL_SOURCE_DIR:?}/scripts/with-xvfb.sh" bash "$0" "$@"
fi
: "${QUORVEL_SOURCE_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"

# One catalogue for the first copy.
home1="$work/one"
mkdir -p "$home1"
catalogue_ini FirstRun=0 \
    -- Name=Ready Type=1 "FileName=touch~~$home1/ready~~" Trigger=probe-one \
    -- Name=Greeting Type=4 HotKey=49236 FileName=Greeting.key \
    -- Name=Fired Type=1 "FileName=sh~~-c 'echo fired >> $home1/fired'~~" \
    "Trigger=  TRIGGER window  " \
    -- Name=Focus Type=4 HotKey=49222 FileName=Focus.key \
    -- Name=LookFor Type=4 HotKey=49228 FileName=LookFor.key \
    -- Name=Hidden Type=1 "FileName=sh~~-c 'echo hidden >> $home1/hidden'~~" \
    "Trigger=hidden window" >"$home1/macros.ini"
printf 'Hello, World! ~^@{}<<ENTER>>' >"$home1/Greeting.key"
printf '<<FOCUS:second target>>focused<<ENTER>>' >"$home1/Focus.key"
printf '<<LOOKFOR:late window~~SECS:20>><<FOCUS:late window>>found<<ENTER>>' >"$home1/LookFor.key"

check "first copy starts and scans" start_quorvel "$home1"

# A hot key types into the focused xterm.
start_target "first target" "$work/first.txt"
activate "first target"
xdotool key --clearmodifiers ctrl+alt+t
check "hot key types into the focused window" wait_for 10 content_is "$work/first.txt" 'Hello, World! ~^@{}'

# A trigger fires once per window, again for a new window of the same title.
xterm -T "trigger window" -e sleep 60 &
pids+=($!)
check "trigger fires for a new window" wait_for 10 content_is "$home1/fired" "fired"
sleep 1.5
check "trigger fires once per window" content_is "$home1/fired" "fired"
xterm -T "trigger window" -e sleep 60 &
pids+=($!)
check "trigger fires again for another window" wait_for 10 content_is "$home1/fired" "$(printf 'fired\nfired')"

# A minimized window counts as shown.
xterm -iconic -T "hidden window" -e sleep 60 &
pids+=($!)
check "a minimized window fires its trigger" wait_for 10 content_is "$home1/hidden" "hidden"

# FOCUS activates the right one of two windows.
start_target "second target" "$work/second.txt"
activate "first target"
xdotool key --clearmodifiers ctrl+alt+f
check "focus types into the named window" wait_for 10 content_is "$work/second.txt" "focused"

# LOOKFOR returns as soon as the window appears.
activate "first target"
xdotool key --clearmodifiers ctrl+alt+l
sleep 1
started=$SECONDS
start_target "late window" "$work/late.txt"
check "look-for continues when the window appears" wait_for 10 content_is "$work/late.txt" "found"
check "look-for did not wait out its time" test $((SECONDS - started)) -lt 8

# A second copy with the same hot key: the first keeps it, the second is refused silently.
home2="$work/two"
mkdir -p "$home2"
catalogue_ini FirstRun=0 \
    -- Name=Ready Type=1 "FileName=touch~~$home2/ready~~" Trigger=probe-two \
    -- Name=Greeting Type=4 HotKey=49236 FileName=Greeting.key >"$home2/macros.ini"
printf 'second copy<<ENTER>>' >"$home2/Greeting.key"
check "second copy starts" start_quorvel "$home2"
start_target "third target" "$work/third.txt"
activate "third target"
xdotool key --clearmodifiers ctrl+alt+t
check "first copy keeps its hot key" wait_for 10 content_is "$work/third.txt" 'Hello, World! ~^@{}'
check "both copies still run" kill -0 "${pids[0]}"

# A new window fires its trigger when it appears, not at the next scan a minute later.
home3="$work/three"
mkdir -p "$home3"
catalogue_ini FirstRun=0 SearchInterval=60000 \
    -- Name=Noticed Type=1 "FileName=touch~~$home3/noticed~~" "Trigger=noticed window" \
    >"$home3/macros.ini"
QUORVEL_HOME="$home3" "$bin/quorvel" &
pids+=($!)
third=$!
# Its main window shows, with no tray, once it has started.
shown() { [ -n "$(xdotool search --onlyvisible --pid "$third" --name '^Ostrin Quorvel$')" ]; }
check "third copy starts" wait_for 20 shown
sleep 0.5
xterm -T "noticed window" -e sleep 60 &
pids+=($!)
check "a new window fires its trigger at once" wait_for 5 test -e "$home3/noticed"

# A recorded macro replays through the program itself, and /CLOSE waits for the replay; with
# the default folders, whose data folder the recording makes.
mkdir -p "${default_catalogue%/*}"
catalogue_ini FirstRun=0 \
    -- Name=Recorded Type=2 FileName=Recorded.dat \
    -- Name=Outer Type=4 FileName=Outer.key >"$default_catalogue"
start_target "replay target" "$work/replayed.txt"
activate "replay target"
with_default_folders "$bin/quorvelctl" record --keys-only "$default_data/Recorded.dat" \
    2>"$work/record.log" &
recorder=$!
wait_for 10 grep -q "press Ctrl+Shift+F12" "$work/record.log"
sleep 0.3
xdotool type --delay 30 "replayed text"
xdotool key Return ctrl+shift+F12
check "recording saved" wait_for 10 grep -q "^Saved" "$work/record.log"
wait "$recorder"
check "the recording is the user's alone" \
    test "$(stat -c %a "$default_data" "$default_data/Recorded.dat")" = $'700\n600'
printf '<<RUN:recorded>>' >"$default_data/Outer.key"
activate "replay target"
with_default_folders timeout 30 "$bin/quorvel" '/Open:"Recorded"' /Close
check "command-line replay ends by itself" test $? -eq 0
# The stop key itself reached the xterm while recording; only the typed lines are compared.
lines_are() { [ "$(grep -c '^.*replayed text$' "$1" 2>/dev/null)" = "$2" ] && ! grep -v 'replayed text$' "$1" | grep -q .; }
check "replay types what was recorded" wait_for 10 lines_are "$work/replayed.txt" 2
activate "replay target"
with_default_folders timeout 30 "$bin/quorvel" '/Open:Outer' /Close
check "an advanced macro waits for the replay it runs" test $? -eq 0
check "nested replay typed" wait_for 10 lines_are "$work/replayed.txt" 3

finish
