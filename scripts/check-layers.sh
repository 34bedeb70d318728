#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when an include breaks the layers:
# - a folder includes only itself and the folders of lower layers (the table below), so no two
#   folders include each other; the tests of tests/core and tests/mainwindow (<folder>_*) keep
#   their folder's rule, and those of tests/core include nothing of the main window's;
# - plain C++ includes no forms/, x11/, wayland/, posix/, qt/ or desktop header; forms/ add
#   forms/, x11/ add x11/, wayland/ add wayland/, posix/ add posix/, app/qt/ adds forms/; the
#   desktops' backends (dbus/, xkb/, portal/, kde/, gnome/) add wayland/ and each other; the
#   programs (app's Application, main.cpp, DesktopBackend and the desktops' files, tools/)
#   include any part;
# - Qt only in forms/ folders and app/'s wiring (Application, main.cpp, app/qt/); X11 only in the
#   .cpp files of platform/x11/ and recording/x11/; Wayland (libwayland, xkbcommon and the
#   generated protocol headers) only in the .cpp files of platform/wayland/ and the desktops'
#   backends; sd-bus only in the .cpp files of the desktops' backends.
# The README's layout section holds a copy of the table: `check-layers.sh --table` prints it.
# Usage: check-layers.sh [--table] [SOURCE_ROOT]   (default: src/ beside this script)
set -uo pipefail

# Lowest layer first; folders that share a layer do not include each other.
layers=(
    "common"
    "platform"
    "catalogue"
    "triggers recording"
    "playback"
    "components"
    "shell"
    "editing"
    "mainwindow tools"
    "app"
)

declare -A layer_of
for i in "${!layers[@]}"; do
    for folder in ${layers[$i]}; do
        layer_of[$folder]=$i
    done
done

table() {
    echo "| layer | folders | may include, besides itself |"
    echo "|---|---|---|"
    local i folder cells below
    for i in "${!layers[@]}"; do
        cells=""
        for folder in ${layers[$i]}; do
            cells+="${cells:+, }\`$folder\`"
        done
        case $i in
        0) below="nothing" ;;
        1) below="layer 1" ;;
        2) below="layers 1 and 2" ;;
        *) below="layers 1 to $i" ;;
        esac
        echo "| $((i + 1)) | $cells | $below |"
    done
}

if [ "${1:-}" = --table ]; then
    table
    exit 0
fi

root=${1:-"$(dirname "$0")/../src"}
cd "$root" || exit 2

# The part of a feature folder a path under src/ lies in.
part() {
    case "$1" in
    app/Application.* | app/main.cpp | app/DesktopBackend.* | app/DesktopImpl.h | app/*Desktop.cpp | tools/*) echo program ;;
    app/qt/*) echo qt ;;
    */forms/*) echo forms ;;
    */x11/*) echo x11 ;;
    */wayland/*) echo wayland ;;
    */posix/*) echo posix ;;
    */dbus/* | */xkb/* | */portal/* | */kde/* | */gnome/*) echo desktop ;;
    *) echo core ;;
    esac
}

# Which parts each part may include.
declare -A parts_for=(
    [core]="core"
    [forms]="core forms"
    [x11]="core x11"
    [wayland]="core wayland"
    [posix]="core posix"
    [qt]="core forms qt"
    [desktop]="core wayland desktop"
    [program]="core forms x11 wayland posix qt desktop program"
)

status=0

# check FILE FOLDER PART LINE INCLUDED: one quoted include of FILE, which belongs to FOLDER/PART.
check() {
    local file=$1 folder=$2 from=$3 line=$4 included=$5
    local target=${included%%/*}
    [ "$target" = "$included" ] && return # a header beside the file
    [ -n "${layer_of[$target]:-}" ] || return
    if [ "$target" != "$folder" ] && [ "${layer_of[$target]}" -ge "${layer_of[$folder]}" ]; then
        echo "$file:$line: $folder may not include $included (layer $((layer_of[$folder] + 1)) includes only lower layers)" >&2
        status=1
    fi
    local to
    to=$(part "$included")
    case " ${parts_for[$from]} " in
    *" $to "*) ;;
    *)
        echo "$file:$line: $included is $to code; $from code may include only ${parts_for[$from]}" >&2
        status=1
        ;;
    esac
}

# Every quoted include of the files under DIR, as FILE:LINE:INCLUDED.
includes() {
    grep -rnoE --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.cc' \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' "$@" |
        sed -E 's/^([^:]+):([0-9]+):.*"([^"]+)"$/\1:\2:\3/'
}

while IFS=: read -r file line included; do
    file=${file#./}
    folder=${file%%/*}
    if [ -z "${layer_of[$folder]:-}" ]; then
        echo "$file: $folder/ is in no layer of scripts/check-layers.sh" >&2
        status=1
        continue
    fi
    check "$file" "$folder" "$(part "$file")" "$line" "$included"
done < <(includes .)

for tests in ../tests/core ../tests/mainwindow; do
    [ -d "$tests" ] || continue
    while IFS=: read -r file line included; do
        name=${file##*/}
        folder=${name%%_*}
        shown=tests/${tests##*/}/$name
        case "$shown:$included" in
        tests/core/*:mainwindow/* | tests/core/*:fakes/FakeViews.h)
            echo "$shown:$line: $included belongs to the main window's tests (tests/mainwindow)" >&2
            status=1
            ;;
        esac
        [ -n "${layer_of[$folder]:-}" ] || continue
        check "$shown" "$folder" core "$line" "$included"
    done < <(includes "$tests")
done

readme=../README.md
if [ -f "$readme" ] && ! diff <(table | grep -v '^|---') <(grep -E '^\| ([0-9]+|layer) \|' "$readme") >/dev/null; then
    echo "README.md: its layer table is not the one here; paste in: scripts/check-layers.sh --table" >&2
    status=1
fi

while IFS= read -r -d '' file; do
    file=${file#./}
    qt_allowed=0
    case "/$file" in
    */forms/* | /app/qt/* | /app/main.cpp | /app/Application.*) qt_allowed=1 ;;
    esac
    x11_allowed=0
    case "$file" in
    platform/x11/*.cpp | recording/x11/*.cpp) x11_allowed=1 ;;
    esac
    wayland_allowed=0 sdbus_allowed=0
    case "$file" in
    platform/wayland/*.cpp) wayland_allowed=1 ;;
    */dbus/*.cpp | */xkb/*.cpp | */portal/*.cpp | */kde/*.cpp | */gnome/*.cpp)
        wayland_allowed=1 sdbus_allowed=1
        ;;
    esac
    if [ $qt_allowed = 0 ] && grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]' "$file"; then
        echo "$file: Qt outside forms/ and the application's wiring" >&2
        status=1
    fi
    if [ $x11_allowed = 0 ] && grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<X11/' "$file"; then
        echo "$file: X11 outside the .cpp files of platform/x11/ and recording/x11/" >&2
        status=1
    fi
    if [ $wayland_allowed = 0 ] && grep -nHE \
        '^[[:space:]]*#[[:space:]]*include[[:space:]]*(<wayland-|<xkbcommon/|"[^"]*-client-protocol\.h")' \
        "$file"; then
        echo "$file: Wayland outside the .cpp files of platform/wayland/ and the desktops' backends" >&2
        status=1
    fi
    if [ $sdbus_allowed = 0 ] && grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<systemd/' "$file"; then
        echo "$file: sd-bus outside the .cpp files of the desktops' backends" >&2
        status=1
    fi
done < <(find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print0)

[ $status = 0 ] && echo "layers: ok"
exit $status
