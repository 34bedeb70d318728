#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Hot-key conflicts explained, on a private desktop: two macros share a key and a third has a
# key xbindkeys holds. The list greys both refused keys and says who holds them; the wizard's
# and the properties dialog's line under the hot-key box says it for each key typed into it.
# Screenshots go to $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

for tool in xbindkeys xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
prepare_accessibility
rm -f "$QUORVEL_ARTIFACTS"/conflicts-*

home="$work/home"
mkdir -p "$home"
# Mail and Mail2 share Ctrl+Alt+M; Notes has Ctrl+Alt+J, which xbindkeys takes first.
catalogue_ini \
    -- Name=Mail Type=4 HotKey=49229 FileName=Mail.key Trigger= \
    -- Name=Notes Type=4 HotKey=49226 FileName=Notes.key Trigger= \
    -- Name=Mail2 Type=4 HotKey=49229 FileName=Mail2.key Trigger= >"$home/macros.ini"
for m in Mail Notes Mail2; do printf 'x\r\n' >"$home/$m.key"; done

# The peer answers its key by touching a file: once it has, its grab is in place, before
# Quorvel's binding pass.
printf '"touch %s"\n  Control+Alt + j\n' "$work/peer-pressed" >"$work/xbindkeysrc"
xbindkeys -n -f "$work/xbindkeysrc" >"$work/xbindkeys.log" 2>&1 &
pids+=("$!")
for _ in $(seq 50); do
    [ -e "$work/peer-pressed" ] && break
    xdotool key ctrl+alt+j
    sleep 0.1
done
[ -e "$work/peer-pressed" ] || fail "xbindkeys never took Ctrl+Alt+J"

seed_default_folders "$home/macros.ini" "$home"/*.key
with_default_folders "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 150 hotkey_conflicts.py -- "$home"
[ "$failed" -eq 0 ] || sed 's/^/    xbindkeys: /' "$work/xbindkeys.log" | tail -20
finish
