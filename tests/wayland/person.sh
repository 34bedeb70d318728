#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on headless sway, driven over the accessibility bus as a person uses it:
# macros made through the wizard run by their hot keys and a window title on foot windows
# (person.py says what). A new user's first run, with the default folders. Runs under
# scripts/with-sway.sh, inside a D-Bus session of its own; screenshots go to
# $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../e2e/lib.bash"

prepare_accessibility
echo "screenshots: $QUORVEL_ARTIFACTS"
# A picture left by an earlier run would pass for one of this run.
rm -f "$QUORVEL_ARTIFACTS"/wayland-*

# Qt's Wayland platform leaves its own proxies at exit; the windows need no GL.
printf 'leak:libwayland-client.so\n' | cat "$src/scripts/lsan.supp" - >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0"
export QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# A fresh home and no XDG_* but the runtime folder, where the compositor's socket is.
with_default_folders env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$bin/quorvel" \
    >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 80 person.py "$default_catalogue" -- "$work" "$default_data" "$default_catalogue"
check "the folders and files made are the user's alone" default_folders_private
finish
