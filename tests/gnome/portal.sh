#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on headless GNOME with its extension installed but off, with the default
# folders: a macro run from the command line types through the RemoteDesktop portal once the
# person has answered the portal's "Remote desktop" dialog over the accessibility bus (on
# GNOME 48 with a click, see share.py); ended while that dialog waits, the program goes at
# once; the doctor says how to turn the extension on. Where GNOME has its own GlobalShortcuts
# portal (48 and later), a macro's hot key is bound through it once the person has added it in
# GNOME's "Add Keyboard Shortcuts" dialog, and the person's press runs the macro; ended while
# that dialog waits, the program goes at once (GNOME leaves its dialog up); cancelled, the
# dialog is not shown again until the next start.
# Usage (under scripts/with-gnome.sh, QUORVEL_GNOME_EXTENSION_ENABLED=0): portal.sh
set -uo pipefail
: "${QUORVEL_SOURCE_DIR:?}"
# shellcheck source=program.bash
source "$(dirname "${BASH_SOURCE[0]}")/program.bash"

text='Hello, portal! ~^@{} 42'
catalogue_ini FirstRun=0 SearchInterval=60000 \
    -- Name=Greeting Type=4 FileName=Greeting.key >"$work/macros.ini"
printf '%s<<ENTER>><<CTRL>>d' "$text" >"$work/Greeting.key"
seed_default_folders "$work/macros.ini" "$work/Greeting.key"

out=$(in_fresh_home "$bin/quorvelctl" doctor 2>&1)
check "the doctor names the step: $out" grep -q "gnome-extensions enable quorvel@ostrin.example" \
    <<<"$out"

# A headless shell starts in the overview, which the extension would have left: the person
# leaves it. No extension to list the windows either: foot is up once its shell runs.
python3 "$keyboard" press 1 >/dev/null # Esc
foot --title="portal target" sh -c "cat > '$work/portal.txt'" 2>/dev/null &
foot_pid=$!
wait_until 100 test -e "$work/portal.txt" || fail "foot did not start"
sleep 0.5
share=$(dirname "${BASH_SOURCE[0]}")/share.py

# TERM, and the program ends within 5 s with status 0 (timeout(1) would kill it 5 s after
# passing TERM on).
ends_at_once() { # pid
    local start=$SECONDS status
    kill -TERM "$1"
    wait "$1"
    status=$?
    check "the program ended on TERM at once (status $status, $((SECONDS - start)) s)" \
        test $status -eq 0 -a $((SECONDS - start)) -lt 5
}

# Ended while the dialog waits for the person (log-off): the program goes at once, and its
# dialog with it.
in_fresh_home timeout -k 5 40 "$bin/quorvel" '/Open:"Greeting"' /Close &
runner=$!
/usr/bin/python3 "$share" 30 shown
check "the dialog came up" test $? -eq 0
ends_at_once $runner
/usr/bin/python3 "$share" 10 gone
check "its dialog went with it" test $? -eq 0

in_fresh_home timeout -k 5 40 "$bin/quorvel" '/Open:"Greeting"' /Close &
runner=$!
/usr/bin/python3 "$share" 30
check "the person answered the dialog" test $? -eq 0
wait $runner
check "the run ends by itself" test $? -eq 0
typed() { wait_for_foot 10 && [ "$(cat "$1")" = "$text" ]; }
check "the portal types the text exactly" typed "$work/portal.txt"

if ! grep -q "knows Quorvel by its desktop entry" <<<"$out"; then
    echo "skip the hot key: this GNOME has no GlobalShortcuts portal of its own"
    finish
    exit
fi
# The dialog above was clicked with the extension's pointer: off again, as the program starts.
gsettings set org.gnome.shell enabled-extensions "[]"
extension_gone() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner example.ostrin.Quorvel.Shell |
        grep -q false
}
wait_until 100 extension_gone || fail "the extension did not stop"
# The portal knows the program by its desktop entry, which the package installs: here in the
# session's data folder, where the portal looks, and in the program's fresh one, where the
# doctor does (for a person the same folder).
for apps in "${XDG_DATA_HOME:-$HOME/.local/share}" "$default_home/.local/share"; do
    mkdir -p "$apps/applications"
    printf '[Desktop Entry]\nType=Application\nName=Quorvel\nExec=%s\n' "$bin/quorvel" \
        >"$apps/applications/example.ostrin.Quorvel.desktop"
done
out=$(in_fresh_home "$bin/quorvelctl" doctor 2>&1)
check "with the entry the doctor says hot keys work" grep -qx "Hot keys: works" <<<"$out"
catalogue_ini FirstRun=0 SearchInterval=60000 \
    -- Name=Greeting Type=4 HotKey=49236 FileName=Greeting.key >"$work/macros.ini"
seed_default_folders "$work/macros.ini"
shortcuts=$(dirname "${BASH_SOURCE[0]}")/shortcuts.py
# The main window comes up once the keys are bound, or refused.
main_window_shows() {
    /usr/bin/python3 -c 'import sys
sys.path.insert(0, sys.argv[1])
from atspi_lib import find_window, wait_for_app
find_window(wait_for_app(timeout=30), "Ostrin Quorvel", timeout=30)' "$src/tests/e2e"
}

# Ended while GNOME's dialog waits (log-off): the program goes at once.
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 in_fresh_home "$bin/quorvel" &
program=$!
check "GNOME's dialog came up" /usr/bin/python3 "$shortcuts" 60 shown
ends_at_once $program
# GNOME 48 keeps that dialog up when the request is closed: the person closes it.
check "the person closed the dialog left behind" /usr/bin/python3 "$shortcuts" 10 cancel
check "it went" /usr/bin/python3 "$shortcuts" 10 gone

# Cancelled, the key is refused and not asked for again while the program runs.
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 in_fresh_home "$bin/quorvel" &
program=$!
answered=$(/usr/bin/python3 "$shortcuts" 60 cancel)
check "the person cancelled GNOME's dialog: $answered" grep -qx "pressed Cancel" <<<"$answered"
check "the program goes on" main_window_shows
check "and does not ask again" /usr/bin/python3 "$shortcuts" 3 none
kill -TERM $program
wait $program
check "TERM ends the program cleanly" test $? -eq 0

QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 in_fresh_home "$bin/quorvel" &
program=$!
added=$(/usr/bin/python3 "$shortcuts" 60)
check "GNOME asks again at the next start; the person adds the hot key: $added" \
    grep -qx "listed: Quorvel hot key Ctrl+Alt+T" <<<"$added"
# The target is opened after the main window, taking the focus from it.
check "the main window shows" main_window_shows
foot --title="hot key target" sh -c "cat > '$work/hot-key.txt'" 2>/dev/null &
foot_pid=$!
wait_until 100 test -e "$work/hot-key.txt" || fail "foot did not start"
sleep 0.5
# The person's grant above is kept: no dialog this time.
python3 "$keyboard" press 29+56+20 >/dev/null # Ctrl+Alt+T
check "the hot key types the text exactly" typed "$work/hot-key.txt"

kill -TERM $program
wait $program
check "TERM ends the program cleanly" test $? -eq 0
finish
