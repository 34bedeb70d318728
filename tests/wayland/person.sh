#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on a headless Wayland desktop, driven over the accessibility bus as a person
# uses it: macros made through the wizard run by their hot keys and a window title on terminal
# windows (person.py says what), then the doctor. A new user's first run, with the default
# folders. Runs under scripts/with-sway.sh inside a D-Bus session of its own, or under
# scripts/with-kwin.sh or scripts/with-gnome.sh; screenshots go to $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../e2e/lib.bash"

prepare_accessibility
echo "screenshots: $QUORVEL_ARTIFACTS"
# A picture left by an earlier run would pass for one of this run.
case ${XDG_CURRENT_DESKTOP:-} in
KDE) desktop=kde ;;
GNOME) desktop=gnome ;;
*) desktop=wayland ;;
esac
rm -f "$QUORVEL_ARTIFACTS/$desktop"-* "$QUORVEL_ARTIFACTS/wizard-$desktop"-*

qt_on_wayland
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# A fresh home and no XDG_* but the runtime folder, where the compositor's socket is, and the
# desktop's name, as a session has it.
session=(env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
[ -z "${XDG_CURRENT_DESKTOP:-}" ] || session+=(XDG_CURRENT_DESKTOP="$XDG_CURRENT_DESKTOP")
with_default_folders "${session[@]}" "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

run_driver 110 person.py "$default_catalogue" -- "$work" "$default_data" "$default_catalogue"
check "the folders and files made are the user's alone" default_folders_private

with_default_folders "${session[@]}" "$bin/quorvelctl" doctor >"$work/doctor.txt" 2>&1
sed 's/^/    doctor: /' "$work/doctor.txt"
for feature in Typing "Hot keys" "Window triggers" Focus; do
    check "the doctor says $feature works" grep -qx "$feature: works" "$work/doctor.txt"
done
# What the doctor says works, the main window does not call missing.
lacking=$(cat "$work/desktop-line.txt" 2>/dev/null)
echo "    main window: ${lacking:-(lacks nothing)}"
not_lacking() { ! grep -qiE "[:,] $1[,.]" <<<"$lacking"; }
while IFS= read -r feature; do
    check "the main window and the doctor agree that $feature works" not_lacking "$feature"
done < <(sed -n 's/^\([A-Z][a-z ]*\): works$/\1/p' "$work/doctor.txt")
finish
