#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# An advanced macro composed on the wizard's advanced page with its menus and command
# dialogs, found by their accessible names on a private desktop: a window wait, a modifier
# with a key, a delay, a repeat block, an input box and its value, and Enter. The saved text
# is checked exactly, and its hot key must type the expected line into an xterm, the input
# box answered over the accessibility bus. A new user's first run, with the default folders.
# Screenshots go to $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

for tool in xterm xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
prepare_accessibility

with_default_folders "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 150 compose.py "$default_catalogue" -- "$default_data" "$work" "$default_catalogue"
finish
