#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Typing through the RemoteDesktop portal into a toolkit's own Wayland client on KWin, read
# back exactly: zenity's editable text window (GTK; it prints the text on OK) or featherpad (Qt;
# the file it opened, saved with Ctrl+S). The text mixes ASCII, accented letters, a few hundred
# distinct CJK characters (pasted with Ctrl+V) and named keys.
# Usage (under scripts/with-kwin.sh): native.sh PORTAL_TYPE gtk|qt
set -uo pipefail
type_tool=${1:?usage: native.sh PORTAL_TYPE gtk|qt}
target=${2:?usage: native.sh PORTAL_TYPE gtk|qt}
source "$(dirname "$0")/lib.bash"

# The macro's text in $work/text.key; what it types in $expected.
native_text ''

case $target in
gtk)
    export QUORVEL_FOCUSED_APP=zenity
    GDK_BACKEND=wayland NO_AT_BRIDGE=1 zenity --text-info --editable --title="quorvel gtk" \
        >"$work/typed" 2>/dev/null &
    app=$!
    # OK has no mnemonic: Ctrl+Tab leaves the text, Tab goes past Cancel.
    finish='<<CTRL>><<TAB>><<TAB>><<ENTER>>'
    ;;
qt)
    export QUORVEL_FOCUSED_APP=featherpad
    : >"$work/typed"
    QT_QPA_PLATFORM=wayland QT_ACCESSIBILITY=0 featherpad --standalone "$work/typed" \
        >/dev/null 2>&1 &
    app=$!
    finish='<<CTRL>>s'
    # It saves with a line break at the end.
    expected+=$'\n'
    ;;
*)
    echo "usage: native.sh PORTAL_TYPE gtk|qt" >&2
    exit 2
    ;;
esac
# KWin gives a new window the focus once it is mapped; nothing here tells when that is.
sleep 3

printf '%s' "$expected" >"$work/expected"
"$type_tool" "$work/text.key" || exit 1
printf '%s' "$finish" >"$work/finish.key"
"$type_tool" "$work/finish.key" || exit 1
native_typed "$target" "$app"
