#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Run by install_test.sh as a fresh user with default folders, the package installed: on a
# private desktop with a tray, Quorvel is started by its menu entry's Exec line;
# "Start with the Desktop" writes the autostart entry; the first run shows the main window, a
# macro of each kind is made through the wizard and run by its hot key (wizard.py), and
# `man quorvel` opens.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../e2e/lib-desktop.bash
source "$here/lib-desktop.bash"
on_private_desktop "$@"
export QUORVEL_BIN=/usr/bin QUORVEL_ARTIFACTS="$HOME/artifacts"
# shellcheck source=../e2e/lib.bash
source "$here/lib.bash"
prepare_accessibility

id=example.ostrin.Quorvel
config="$HOME/.config/quorvel"
data="$HOME/.local/share/quorvel"
for name in QUORVEL_HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CONFIG_DIRS XDG_DATA_DIRS; do
    [ -z "${!name:-}" ] || fail "$name is set"
done
check "a fresh home" test ! -e "$config" -a ! -e "$data"

start_tray

exec_line=$(sed -n 's/^Exec=//p' "/usr/share/applications/$id.desktop")
echo "menu entry: Exec=$exec_line"
sh -c "exec $exec_line" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

# First, while nothing else can have gone wrong yet.
timeout 60 /usr/bin/python3 -B "$here/tray_autostart.py" "$quorvel" \
    "$HOME/.config/autostart/$id.desktop"
check "the tray item's checks" test $? -eq 0
check "the autostart entry is valid" desktop-file-validate "$HOME/.config/autostart/$id.desktop"

marker_script="$work/touch-marker"
# shellcheck disable=SC2016 # literal on purpose
printf '#!/bin/sh\ntouch "$1"\n' >"$marker_script"
chmod +x "$marker_script"
run_driver 240 wizard.py "$config/macros.ini" -- "$data" "$work" "$HOME" "$marker_script" \
    "$config/macros.ini"

check "the data folder is private" test "$(stat -c %a "$data" 2>/dev/null)" = 700

MANPAGER=cat MANWIDTH=80 man quorvel >"$work/man.txt" 2>&1
check "man quorvel opens" grep -q 'quorvel - run keystroke' "$work/man.txt"

kill -TERM "$quorvel"
check "SIGTERM ends it" wait_for 10 sh -c "! kill -0 $quorvel"
[ "$failed" -eq 0 ] || sed 's/^/    quorvel: /' "$work/quorvel.log" | tail -20
finish
