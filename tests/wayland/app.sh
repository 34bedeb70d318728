#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on headless sway, with no X server: an advanced macro types into foot
# running `cat > FILE`, run from the command line and by its hot key pressed with wtype; a
# window title fires its trigger; a recording made on X replays; an absent compositor is said
# plainly.
# Runs under scripts/with-sway.sh.
set -uo pipefail
: "${QUORVEL_SOURCE_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.bash"
e2e_work=$work
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
trap 'wayland_cleanup; work=$e2e_work; cleanup' EXIT

qt_on_wayland

# The typed text ends cat with Ctrl+D, so the file is whole once foot has ended.
text='Hello, Wayland! ~^@{} é 東京'
catalogue_ini FirstRun=0 SearchInterval=60000 \
    -- Name=Greeting Type=4 HotKey=49236 FileName=Greeting.key \
    -- Name=Replay Type=3 FileName=Replay.dat Speed=1 \
    -- Name=ReplayFast Type=3 FileName=Replay.dat Speed=2 \
    -- Name=Fired Type=1 "FileName=sh~~-c 'echo fired >> $work/fired'~~" \
    "Trigger=trigger window" >"$work/macros.ini"
printf '%s<<ENTER>><<CTRL>>d' "$text" >"$work/Greeting.key"
cp "$src/tests/wayland/click-and-type.dat" "$work/Replay.dat"
seed_default_folders "$work/macros.ini" "$work/Greeting.key" "$work/Replay.dat"

# A fresh home and no XDG_* but the runtime folder, where the compositor's socket is.
in_fresh_home() { # command...
    with_default_folders env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"
}

typed() { # file
    wait_for_foot 10 && [ "$(cat "$1")" = "$text" ]
}

start_foot "command line target" "$work/command-line.txt" || fail "foot did not start"
in_fresh_home timeout 20 "$bin/quorvel" '/Open:"Greeting"' /Close
check "the command line run ends by itself" test $? -eq 0
check "the command line run types the text exactly" typed "$work/command-line.txt"

# The hot key is bound once the registrar has noted its binding; the main window, a native
# Wayland client, comes before foot takes the focus.
in_fresh_home "$bin/quorvel" &
pids+=($!)
bound() { compgen -G "$XDG_RUNTIME_DIR/quorvel/sway-hotkeys.*" >/dev/null; }
check "the main window shows" wait_until 100 has_window "Ostrin Quorvel"
check "the hot key is bound" wait_until 100 bound
start_foot "hot key target" "$work/hot-key.txt" || fail "foot did not start"
wtype -M ctrl -M alt t -m alt -m ctrl
check "the hot key types the text exactly" typed "$work/hot-key.txt"

# A window's title, as the compositor tells it, fires its trigger at once, not at the next
# scan a minute later.
foot --title="trigger window" sleep 60 2>/dev/null &
pids+=($!)
wait_until 100 has_window "trigger window" || fail "foot did not start"
check "a window title fires its trigger at once" wait_until 20 test -e "$work/fired"

kill -TERM "${pids[0]}"
wait "${pids[0]}"
check "TERM ends the program cleanly" test $? -eq 0
check "the binding is gone at the end" wait_until 50 eval '! bound'

# A recording made on X (click-and-type.dat: Xvfb at 1280x1024, `quorvelctl record` while
# xdotool clicked at 960,400 into the right of two xterms side by side, then typed "Right, 42:
# Hello!", Enter and Ctrl+D) replays into two foot windows that sway tiles the same way: only
# the right one gets the text, so the position, the click and the keys all arrived. The click,
# not the pointer passing by, must move the focus.
kill "${pids[1]}"
wait_until 50 eval '! has_window "trigger window"'
swaymsg focus_follows_mouse no >/dev/null
recorded_ms=$(awk '$2 ~ /^[KBM]/ { sum += $1 } END { print sum }' "$work/Replay.dat")
replayed() { # file
    wait_for_foot 10 && [ "$(cat "$1")" = "Right, 42: Hello!" ]
}
declare -A took
# quorvelctl replays the same way.
for macro in Replay ReplayFast quorvelctl; do
    start_foot "left $macro" "$work/left-$macro.txt" || fail "foot did not start"
    pids+=("$foot_pid")
    start_foot "right $macro" "$work/right-$macro.txt" || fail "foot did not start"
    swaymsg focus left >/dev/null
    started=$(date +%s%3N)
    if [ $macro = quorvelctl ]; then
        timeout 20 "$bin/quorvelctl" replay --fast "$work/Replay.dat"
    else
        in_fresh_home timeout 20 "$bin/quorvel" "/Open:\"$macro\"" /Close
    fi
    check "the replay $macro ends by itself" test $? -eq 0
    took[$macro]=$(($(date +%s%3N) - started))
    check "the replay $macro types into the right window exactly" replayed "$work/right-$macro.txt"
    check "and nothing into the left one" test ! -s "$work/left-$macro.txt"
    kill "${pids[-1]}"
done
echo "replay at recorded speed ${took[Replay]} ms (recorded ${recorded_ms} ms), high speed" \
    "${took[ReplayFast]} ms, start and end included"
check "recorded speed keeps the recorded time" test "${took[Replay]}" -ge "$recorded_ms"
out=$("$bin/quorvelctl" record "$work/new.dat" 2>&1)
check "quorvelctl record says it needs X11: $out" grep -q "recording needs an X11 session" <<<"$out"

# A compositor that does not answer is said, with no fall back to an X display.
out=$(in_fresh_home env WAYLAND_DISPLAY=nowhere DISPLAY=:987 timeout 20 "$bin/quorvel" 2>&1)
check "an unreachable compositor fails" test $? -eq 1
check "and says so: $out" grep -q "cannot use the Wayland display" <<<"$out"
finish
