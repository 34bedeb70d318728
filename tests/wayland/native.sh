#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Typing through the Wayland backend into a toolkit's own Wayland client, read back exactly:
# zenity's editable text window (GTK; it prints the text on OK) or featherpad (Qt; the file
# it opened, saved with Ctrl+S). The text mixes ASCII, accented letters, a few hundred
# distinct CJK characters (keymap changes on the way) and named keys.
# Usage (under scripts/with-sway.sh): native.sh WAYLAND_TYPE gtk|qt
set -uo pipefail
type_tool=${1:?usage: native.sh WAYLAND_TYPE gtk|qt}
target=${2:?usage: native.sh WAYLAND_TYPE gtk|qt}
source "$(dirname "$0")/lib.bash"

# The macro's text in $work/text.key; what it types in $expected.
native_text ''

has_app() { # app_id
    swaymsg -t get_tree | grep -qF "\"app_id\": \"$1\""
}

case $target in
gtk)
    GDK_BACKEND=wayland NO_AT_BRIDGE=1 zenity --text-info --editable --title="quorvel gtk" \
        >"$work/typed" 2>/dev/null &
    app=$!
    wait_until 150 has_window "quorvel gtk" || { echo "FAIL gtk: no window" >&2; exit 1; }
    # OK has no mnemonic: Ctrl+Tab leaves the text, Tab goes past Cancel.
    finish='<<CTRL>><<TAB>><<TAB>><<ENTER>>'
    ;;
qt)
    : >"$work/typed"
    QT_QPA_PLATFORM=wayland QT_ACCESSIBILITY=0 featherpad --standalone "$work/typed" \
        >/dev/null 2>&1 &
    app=$!
    wait_until 150 has_app featherpad || { echo "FAIL qt: no window" >&2; exit 1; }
    finish='<<CTRL>>s'
    # It saves with a line break at the end.
    expected+=$'\n'
    ;;
*)
    echo "usage: native.sh WAYLAND_TYPE gtk|qt" >&2
    exit 2
    ;;
esac

printf '%s' "$expected" >"$work/expected"
"$type_tool" "$work/text.key" || exit 1
printf '%s' "$finish" >"$work/finish.key"
"$type_tool" "$work/finish.key" || exit 1
native_typed "$target" "$app"
