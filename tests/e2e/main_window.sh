#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main window driven from outside through its accessibility tree, as an assistive tool
# would, on a private desktop with its own D-Bus session: rows, selection, context menu,
# deletion through the question, help and Hide; with the default folders. Screenshots go to
# $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

prepare_accessibility

# Four macros of every kind; FirstRun is absent, so the main window shows at start.
home="$work/home"
mkdir -p "$home"
catalogue_ini \
    -- Name=Notes Type=1 FileName=true 'Trigger=Never Shown Window 7f3a' \
    -- Name=Typing Type=2 HotKey=24692 FileName=Typing.dat \
    -- Name=Mail Type=4 HotKey=49236 FileName=Mail.key \
    -- Name=Replay Type=3 FileName=Replay.dat 'Trigger=Replay Target' Speed=2 >"$home/macros.ini"
printf 'Dear <<ENTER>>' >"$home/Mail.key"
printf 'left over' >"$home/Mail.dat"
printf 'typing journal' >"$home/Typing.dat"
printf 'replay journal' >"$home/Replay.dat"

seed_default_folders "$home/macros.ini" "$home"/*.key "$home"/*.dat
with_default_folders "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 60 main_window.py -- "$default_data" "$default_catalogue"
finish
