#!/usr/bin/env bash
# One macro of each kind made through the wizard on a private desktop, as a person makes it,
# by the controls' accessible names: an advanced macro with a desktop shortcut, a launch with
# a window-title trigger, a keystroke recording and a mouse recording; each new hot key is
# then pressed and must do its job. A cancelled wizard stores nothing. Screenshots of every
# page go to $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -z "${QUORVEL_DESKTOP:-}" ]; then
    source "$here/lib-desktop.bash"
    desktop_run bash "$0" "$@"
    exit $?
fi
source "$here/lib.bash"

for tool in xterm xdotool desktop-file-validate; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
prepare_accessibility
# A picture left by an earlier run would pass for one of this run.
rm -f "$QUORVEL_ARTIFACTS"/wizard-*

# A fresh data folder, and a home whose desktop is inside the scratch folder.
data="$work/data"
user="$work/user"
mkdir -p "$data" "$user/.config"
printf 'XDG_DESKTOP_DIR="$HOME/Desktop"\n' >"$user/.config/user-dirs.dirs"

# The launched program: a real executable, started without a shell of ours.
marker_script="$work/touch-marker"
printf '#!/bin/sh\ntouch "$1"\n' >"$marker_script"
chmod +x "$marker_script"

HOME="$user" XDG_CONFIG_HOME="$user/.config" XDG_DATA_HOME="$user/.local/share" \
    QUORVEL_HOME="$data" "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 150 wizard.py "$data/macros.ini" -- "$data" "$work" "$user" "$marker_script"
finish
