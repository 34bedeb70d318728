#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One macro of each kind made through the wizard on a private desktop, as a person makes it,
# by the controls' accessible names: an advanced macro with a desktop shortcut, a launch with
# a window-title trigger, a keystroke recording and a mouse recording; each new hot key is
# then pressed and must do its job. A cancelled wizard stores nothing. It all runs as a new
# user's first run, with the default folders. Screenshots of every page go to
# $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

for tool in xterm xdotool desktop-file-validate; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
prepare_accessibility
# A picture left by an earlier run would pass for one of this run.
rm -f "$QUORVEL_ARTIFACTS"/wizard-*

# The launched program: a real executable, started without a shell of ours.
marker_script="$work/touch-marker"
# shellcheck disable=SC2016 # literal on purpose
printf '#!/bin/sh\ntouch "$1"\n' >"$marker_script"
chmod +x "$marker_script"

# A new user's first run: the default folders, made by the program when it needs them.
with_default_folders "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 150 wizard.py "$default_catalogue" -- "$default_data" "$work" "$default_home" \
    "$marker_script" "$default_catalogue"
check "the folders and files made are the user's alone" default_folders_private
finish
