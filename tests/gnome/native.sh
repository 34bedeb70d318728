#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Typing through the GNOME backend into a toolkit's own Wayland client, read back exactly:
# zenity's editable text window (GTK; it prints the text on OK) or featherpad (Qt; the file it
# opened, saved with Ctrl+S). The text mixes ASCII, accented letters, CJK (none of them on the
# layout: they go as text through the extension) and named keys.
# Usage (under scripts/with-gnome.sh): native.sh GNOME_DRIVER gtk|qt
set -uo pipefail
driver=${1:?usage: native.sh GNOME_DRIVER gtk|qt}
target=${2:?usage: native.sh GNOME_DRIVER gtk|qt}
source "$(dirname "$0")/lib.bash"

# The macro's text in $work/text.key; what it types in $expected.
native_text ' 🙂'

case $target in
gtk)
    GDK_BACKEND=wayland NO_AT_BRIDGE=1 zenity --text-info --editable --title="quorvel gtk" \
        >"$work/typed" 2>/dev/null &
    app=$!
    wait_until 150 has_window "quorvel gtk" || { echo "FAIL gtk: no window" >&2; exit 1; }
    # GTK 4 shows it as a dialog, listed before the shell gives it the focus.
    wait_until 50 "$driver" focus "quorvel gtk" || { echo "FAIL gtk: no focus" >&2; exit 1; }
    finish='<<CTRL>><<TAB>><<TAB>><<ENTER>>'
    ;;
qt)
    : >"$work/typed"
    QT_QPA_PLATFORM=wayland QT_ACCESSIBILITY=0 featherpad --standalone "$work/typed" \
        >/dev/null 2>&1 &
    app=$!
    shows_file() { "$driver" list | grep -qF "$work/typed"; }
    wait_until 150 shows_file || { echo "FAIL qt: no window" >&2; exit 1; }
    finish='<<CTRL>>s'
    expected+=$'\n'
    ;;
*)
    echo "usage: native.sh GNOME_DRIVER gtk|qt" >&2
    exit 2
    ;;
esac
sleep 0.5

printf '%s' "$expected" >"$work/expected"
result=$("$driver" type "$work/text.key") || exit 1
printf '%s' "$finish" >"$work/finish.key"
"$driver" type "$work/finish.key" >/dev/null || exit 1
native_typed "$target" "$app" "$result"
