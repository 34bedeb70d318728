#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Typing through the Wayland backend into foot running `cat > FILE`, read back exactly: 2,000
# ASCII characters (also into a foot that stops reading for a moment), 2,000 distinct CJK
# characters (many keymaps, nothing may be lost at a change), and named keys, modifiers and
# mixed scripts as a macro's tokens give them.
# Usage (under scripts/with-sway.sh): typing.sh WAYLAND_TYPE
set -uo pipefail
type_tool=${1:?usage: typing.sh WAYLAND_TYPE}
source "$(dirname "$0")/lib.bash"
failed=0

# check NAME MACRO_TEXT EXPECTED [PAUSE]: types the macro's text, then Enter and Ctrl+D; with
# PAUSE, foot stops reading for that long as typing starts, as on a loaded machine: the
# compositor drops a client whose queue fills, so typing must wait for it.
check() {
    local name=$1 out="$work/$1.out" status=0
    # A macro file's own line breaks type Enter and Ctrl+Enter, as on every desktop.
    printf '%s<<ENTER>><<CTRL>>d' "${2//$'\n'/<<ENTER>>}" >"$work/$name.key"
    printf '%s\n' "$3" >"$work/$name.expected"
    start_foot "typing $name" "$out" || { failed=1; return; }
    if [ -n "${4:-}" ]; then
        kill -STOP "$foot_pid"
        (sleep "$4" && kill -CONT "$foot_pid") &
    fi
    "$type_tool" "$work/$name.key" || failed=1
    wait_for_foot 10 || status=$?
    if [ $status -eq 255 ]; then
        echo "FAIL $name: foot did not end (Ctrl+D lost?)" >&2
        failed=1
    elif [ $status -gt 128 ]; then
        echo "FAIL $name: foot was dropped by the compositor or crashed (status $status)" >&2
        failed=1
    fi
    if cmp -s "$out" "$work/$name.expected"; then
        echo "ok $name"
    else
        echo "FAIL $name: typed text differs" >&2
        diff "$work/$name.expected" "$out" | head -10 >&2
        failed=1
    fi
}

ascii=$(ascii_text 2000)
cjk=$(cjk_text 2000)
check ascii "$ascii" "$ascii"
check ascii-paused "$ascii" "$ascii" 0.5
check cjk "$cjk" "$cjk"

# Named keys and modifiers as foot sends them on to the terminal, in one line each.
esc=$'\e'
check keys "$(printf '%s\n' \
    'abc<<BACKSPACE>>d' \
    'tab<<TAB>>stop' \
    'kill this<<CTRL>>ukept' \
    '<<SHIFT>>a<<SHIFT>>é ABC' \
    '<<ALT>>x<<F1>><<HOME>><<DELETE>><<ESC>>' \
    'Съешь → ∑ € © 東京 Ξεσκεπάζω ǅ É ç€' \
    'ab<<SHIFT>>c')" "$(printf '%s\n' \
    'abd' \
    $'tab\tstop' \
    'kept' \
    'AÉ ABC' \
    "${esc}x${esc}OP${esc}[H${esc}[3~${esc}" \
    'Съешь → ∑ € © 東京 Ξεσκεπάζω ǅ É ç€' \
    'abC')"

exit $failed
