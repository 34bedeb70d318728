#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Typing through KWin's own input protocol (and ASCII through the RemoteDesktop portal too)
# into weston-terminal running `cat > FILE` on KWin, read back exactly: 2,000 ASCII characters, 2,000 distinct CJK characters (pasted: the layout
# lacks them), a line of mixed scripts with the user's clipboard what it was afterwards, and
# named keys and modifiers as a macro's tokens give them.
# Usage (under scripts/with-kwin.sh): typing.sh PORTAL_TYPE
set -uo pipefail
type_tool=${1:?usage: typing.sh PORTAL_TYPE}
source "$(dirname "$0")/lib.bash"
failed=0

# check NAME MACRO_TEXT EXPECTED [TOOL_OPTION...]: types the macro's text, then Enter and
# Ctrl+D, and compares what cat wrote; fails when anything differs.
check() {
    local name=$1 out="$work/$1.out" status=0
    # A macro file's own line breaks type Enter and Ctrl+Enter, as on every desktop.
    printf '%s<<ENTER>><<CTRL>>d' "${2//$'\n'/<<ENTER>>}" >"$work/$name.key"
    printf '%s\n' "$3" >"$work/$name.expected"
    shift 3
    start_terminal "$out" || return 1
    "$type_tool" "$@" "$work/$name.key" >"$work/$name.figures" || status=1
    if ! wait_for_terminal 20; then
        echo "FAIL $name: weston-terminal did not end (Ctrl+D lost?)" >&2
        status=1
    fi
    if cmp -s "$out" "$work/$name.expected"; then
        echo "ok $name ($(head -n1 "$work/$name.figures"))"
    else
        echo "FAIL $name: typed text differs" >&2
        diff "$work/$name.expected" "$out" | head -10 >&2
        status=1
    fi
    return $status
}

ascii=$(ascii_text 2000)
cjk=$(cjk_text 2000)
check ascii "$ascii" "$ascii" || failed=1
grep -q 'route kwin' "$work/ascii.figures" \
    || { echo "FAIL ascii: not through KWin's protocol: $(cat "$work/ascii.figures")" >&2; failed=1; }
# Where KWin does not let us, as for a program no desktop entry names.
check ascii-portal "$ascii" "$ascii" --portal || failed=1
check cjk "$cjk" "$cjk" || failed=1
grep -q 'pastes 50 ' "$work/cjk.figures" \
    || { echo "FAIL cjk: not one paste a line: $(cat "$work/cjk.figures")" >&2; failed=1; }

# The user's clipboard, in a type of its own and with bytes no text has, is offered again
# afterwards: the tool holds it for a few seconds after typing, as Quorvel does for its life.
printf 'user\0clipboard \xff' >"$work/clip.expected"
wl-copy --foreground --type application/x-quorvel-test <"$work/clip.expected" &
copy_pid=$!
wait_until 50 sh -c 'wl-paste --list-types 2>/dev/null | grep -q x-quorvel-test'
mixed='ASCII, é, ß, Привет мир, Ωμέγα, 東京, 😀!'
check mixed "$mixed" "$mixed" --hold 4 &
check_pid=$!
wait_until 100 grep -q seconds "$work/mixed.figures" 2>/dev/null
if ! timeout 3 wl-paste --type application/x-quorvel-test >"$work/clip.out" 2>/dev/null \
    || ! cmp -s "$work/clip.out" "$work/clip.expected"; then
    echo "FAIL clipboard: the user's clipboard was not put back" >&2
    failed=1
else
    echo "ok clipboard"
fi
wait "$check_pid" || failed=1
kill "$copy_pid" 2>/dev/null

# Named keys and modifiers as the terminal sends them on, in one line each; é under Shift
# goes through the clipboard as É.
esc=$'\e'
check keys "$(printf '%s\n' \
    'abc<<BACKSPACE>>d' \
    'tab<<TAB>>stop' \
    'kill this<<CTRL>>ukept' \
    '<<SHIFT>>a<<SHIFT>>é ABC' \
    '<<ALT>>x<<F1>><<HOME>><<DELETE>><<ESC>>' \
    'ab<<SHIFT>>c')" "$(printf '%s\n' \
    'abd' \
    $'tab\tstop' \
    'kept' \
    'AÉ ABC' \
    "${esc}x${esc}OP${esc}[H${esc}[3~${esc}" \
    'abC')" || failed=1

exit $failed
