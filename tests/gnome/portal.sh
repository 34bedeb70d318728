#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on headless GNOME with its extension installed but off, with the default
# folders: a macro run from the command line types through the RemoteDesktop portal once the
# person has answered the portal's "Remote desktop" dialog over the accessibility bus (on
# GNOME 48 with a click, see share.py); ended while that dialog waits, the program goes at
# once; the doctor says how to turn the extension on.
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

# Ended while the dialog waits for the person (log-off): the program goes at once, and its
# dialog with it.
in_fresh_home timeout -k 5 40 "$bin/quorvel" '/Open:"Greeting"' /Close &
runner=$!
/usr/bin/python3 "$share" 30 shown
check "the dialog came up" test $? -eq 0
start=$SECONDS
kill -TERM $runner
wait $runner
status=$?
# timeout(1) kills it 5 s after passing TERM on.
check "the program ended on TERM at once (status $status, $((SECONDS - start)) s)" \
    test $status -eq 0 -a $((SECONDS - start)) -lt 5
/usr/bin/python3 "$share" 10 gone
check "its dialog went with it" test $? -eq 0

in_fresh_home timeout -k 5 40 "$bin/quorvel" '/Open:"Greeting"' /Close &
runner=$!
/usr/bin/python3 "$share" 30
check "the person answered the dialog" test $? -eq 0
wait $runner
check "the run ends by itself" test $? -eq 0
typed() { wait_for_foot 10 && [ "$(cat "$work/portal.txt")" = "$text" ]; }
check "the portal types the text exactly" typed
finish
