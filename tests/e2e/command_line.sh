#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program itself: a command-line run of a launch macro with /CLOSE starts the program
# and ends by itself; without a display it says so and fails.
set -euo pipefail
: "${QUORVEL_SOURCE_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"

cat >"$work/macros.ini" <<INI
[Main]
Entries=2
FirstRun=0
[Macro1]
Name=Editor
Type=1
HotKey=0
FileName=/usr/bin/touch~~"$work/started one" \$HOME~~$work
[Macro2]
Name=editor
Type=1
FileName=touch~~second~~$work
INI

start=$(date +%s%N)
QUORVEL_HOME="$work" timeout 20 "$src/scripts/with-xvfb.sh" "$bin/quorvel" '/Open:"Editor"' /Close \
    || fail "quorvel did not end by itself"
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
# shellcheck disable=SC2016 # literal on purpose
for f in "started one" '$HOME' second; do
    for _ in $(seq 1 50); do [ -e "$work/$f" ] && break; sleep 0.1; done
    [ -e "$work/$f" ] || fail "launch did not create '$f'"
done
[ "$elapsed" -lt 8000 ] || fail "took ${elapsed} ms to end"
grep -q '^FirstRun=0' "$work/macros.ini" || fail "FirstRun changed"

# An advanced macro ends the program too, once its text has run.
cat >"$work/macros.ini" <<INI
[Main]
Entries=1
FirstRun=0
[Macro1]
Name=Typing
Type=4
FileName=Typing.key
INI
printf 'hello<<ENTER>><<RUN:nobody>>\r\n' >"$work/Typing.key"
QUORVEL_HOME="$work" timeout 20 "$src/scripts/with-xvfb.sh" "$bin/quorvel" '/OPEN:Typing' /CLOSE \
    || fail "advanced macro run did not end"

# No display: a clear message and a failure status.
set +e
out=$(env -u DISPLAY QUORVEL_HOME="$work" "$bin/quorvel" 2>&1)
status=$?
set -e
[ "$status" -ne 0 ] || fail "no display but exit status 0"
grep -q "display" <<<"$out" || fail "no message about the display: $out"

# A display that cannot be reached: the same.
set +e
out=$(DISPLAY=:987 QUORVEL_HOME="$work" "$bin/quorvel" 2>&1)
status=$?
set -e
[ "$status" -eq 1 ] || fail "unreachable display gave status $status"
grep -q "display" <<<"$out" || fail "no message about the unreachable display: $out"

# A new user's first start, with the default folders: it shows the main window and records
# that it ran in a catalogue only the user can read.
# shellcheck disable=SC2016 # the inner shell expands it
with_default_folders timeout 20 "$src/scripts/with-xvfb.sh" bash -c '
    "$1" & pid=$!
    for _ in $(seq 1 100); do
        xdotool search --onlyvisible --name "^Ostrin Quorvel$" >/dev/null 2>&1 && break
        sleep 0.1
    done
    xdotool search --onlyvisible --name "^Ostrin Quorvel$" >/dev/null || { kill $pid; exit 1; }
    kill -TERM $pid; wait $pid; exit 0' _ "$bin/quorvel" || fail "first start showed no main window"
grep -q '^FirstRun=0' "$default_catalogue" || fail "FirstRun not written"
[ "$(stat -c %a "${default_catalogue%/*}" "$default_catalogue")" = $'700\n600' ] \
    || fail "the catalogue is not the user's alone"
echo "command line: ok"
