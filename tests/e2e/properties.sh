#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The properties dialog driven from outside through the accessibility tree on a private
# desktop: rename a launch and an advanced macro and give them new hot keys, re-record a
# keystroke macro, and run all three by their new keys; with the default folders. Screenshots
# go to $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

prepare_accessibility

home="$default_data"
mkdir -p "$home" "${default_catalogue%/*}"
catalogue_ini \
    -- Name=Launcher Type=1 HotKey=0 "FileName=touch~~$home/launched~~" Trigger= \
    -- Name=Typing Type=2 HotKey=0 FileName=Typing.dat Trigger= \
    -- Name=Mail Type=4 HotKey=0 FileName=Mail.key Trigger= >"$default_catalogue"
printf 'hello<<ENTER>>\r\n' >"$home/Mail.key"
printf 'old journal' >"$home/Typing.dat"

with_default_folders "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 150 properties.py "$default_catalogue" -- "$home" "$work" "$default_catalogue"
finish
