#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Shortcuts for hostile macro names in each of the six places, checked by the desktop's own
# validator and launched as a desktop launches them: each starts exactly its macro, and the
# program ends by itself afterwards.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${QUORVEL_SOURCE_DIR:?}" "${QUORVEL_TEST_BIN:?}"
if [ -z "${DISPLAY:-}" ] || [ -z "${QUORVEL_SHORTCUTS_INNER:-}" ]; then
    QUORVEL_SHORTCUTS_INNER=1 exec "$QUORVEL_SOURCE_DIR/scripts/with-xvfb.sh" \
        dbus-run-session -- bash "$0" "$@"
fi
source "$here/lib.bash"
for tool in desktop-file-validate gio; do
    command -v "$tool" >/dev/null || fail "$tool missing (scripts/deps.sh installs it)"
done

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export QUORVEL_HOME="$work/q"
mkdir -p "$HOME" "$QUORVEL_HOME" "$XDG_CONFIG_HOME"
# The desktop somewhere else than ~/Desktop, as a localised session has it.
# shellcheck disable=SC2016 # literal on purpose
printf 'XDG_DESKTOP_DIR="$HOME/Bureau"\n' >"$XDG_CONFIG_HOME/user-dirs.dirs"

# shellcheck disable=SC1003,SC2016 # literal on purpose
names=(
    'Mail'
    'Two Words'
    'Say "hi"'
    '$HOME `id` $(id)'
    'back\slash\'
    '100% %f %%'
    'semi; rm -rf ~ & |'
    "it's #1 * ?"
    'a/b'
)
# Records a broken quoting would run instead: the first word, or the name cut at a quote.
# shellcheck disable=SC2016 # literal on purpose
decoys=('Two' 'Say ' '100' 'back' 'semi' 'it' '$HOME' 'b' '/Open:')
# The six places by their folder number, and where each one must land.
places=(1 8 5 9 2 4)
folders=("$HOME/Bureau" "$XDG_DATA_HOME/applications" "$XDG_DATA_HOME/applications/quorvel"
    "$XDG_CONFIG_HOME/autostart" "$QUORVEL_HOME/Favorites" "$HOME/Documents")

{
    echo "[Main]"
    echo "Entries=$((${#names[@]} + ${#decoys[@]}))"
    echo "FirstRun=0"
    n=0
    for name in "${names[@]}" "${decoys[@]}"; do
        n=$((n + 1))
        echo "[Macro$n]"
        echo "Name=$name"
        echo "Type=1"
        echo "HotKey=$((n == 1 ? 848 : 0))"
        echo "FileName=/usr/bin/touch~~\"$work/marks/$n\"~~$work"
    done
} >"$QUORVEL_HOME/macros.ini"

quorvel=$(realpath "$bin/quorvel")
running() { pgrep -f -- "^$quorvel" >/dev/null; }

for i in "${!names[@]}"; do
    n=$((i + 1))
    name=${names[$i]}
    place=${places[$((i % 6))]}
    folder=${folders[$((i % 6))]}
    "$QUORVEL_TEST_BIN/shortcut_writer" "$QUORVEL_HOME/macros.ini" "$quorvel" "$place" "$n" \
        "$QUORVEL_SOURCE_DIR/src/components/forms/art/quorvel.svg" \
        || { check "shortcut for '$name' written" false; continue; }
    entry="$folder/quorvel-macro-${name##*/}.desktop"
    check "'$name' lands in $folder" test -f "$entry"
    [ -f "$entry" ] || continue
    check "'$name' is executable" test -x "$entry"
    # Comment repeats Name on purpose (the entry's description is the macro's name); the
    # validator's hint about that is the one remark allowed.
    if ! desktop-file-validate "$entry" >"$work/validate" 2>&1 \
        || grep -v 'for key "Comment" in group "Desktop Entry" looks the same as that of key "Name"' \
            "$work/validate" | grep -q .; then
        check "'$name' passes desktop-file-validate" false
        sed 's/^/    /' "$work/validate"
        sed 's/^/    entry: /' "$entry"
    else
        check "'$name' passes desktop-file-validate" true
    fi

    rm -rf "$work/marks"
    mkdir -p "$work/marks"
    gio launch "$entry" >"$work/launch.log" 2>&1 || sed 's/^/    gio: /' "$work/launch.log"
    wait_for 20 test -e "$work/marks/$n"
    check "'$name' ran its macro" test -e "$work/marks/$n"
    # Whatever else ran has had time to touch its mark once the program has ended.
    wait_for 20 bash -c "! pgrep -f -- '^$quorvel' >/dev/null"
    check "the program ended after '$name'" bash -c "! pgrep -f -- '^$quorvel' >/dev/null"
    expect "only '$name' ran" 0 "$n" -- ls "$work/marks"
done

check "the hot key travels with the entry" \
    grep -qx 'X-Quorvel-HotKey=848' "$HOME/Bureau/quorvel-macro-Mail.desktop"
check "the icon is installed once" \
    test -f "$XDG_DATA_HOME/icons/hicolor/scalable/apps/quorvel.svg"
# No place to go: refused with the message, nothing written at the root.
expect "no home: write error" 1 "Erreur en écriture." -- \
    env -u HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME "$QUORVEL_TEST_BIN/shortcut_writer" \
    "$QUORVEL_HOME/macros.ini" "$quorvel" 1 1
check "nothing at the root" test ! -e /quorvel-macro-Mail.desktop

# A desktop shortcut made and started with the default folders.
mkdir -p "${default_catalogue%/*}"
printf '[Main]\nEntries=1\nFirstRun=0\n[Macro1]\nName=Mail\nType=1\nFileName=/usr/bin/touch~~"%s"~~\n' \
    "$work/default-mark" >"$default_catalogue"
with_default_folders "$QUORVEL_TEST_BIN/shortcut_writer" "$default_catalogue" "$quorvel" 1 1
entry=$(find "$default_home/Desktop" -name '*.desktop' 2>/dev/null | head -n1)
check "the default folders: a shortcut on ~/Desktop" test -n "$entry"
[ -z "$entry" ] || with_default_folders gio launch "$entry" >"$work/launch.log" 2>&1
check "the default folders: the shortcut ran its macro" wait_for 20 test -e "$work/default-mark"
finish
