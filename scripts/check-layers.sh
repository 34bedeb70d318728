#!/usr/bin/env bash
# Fails when Qt or X11 is included where it does not belong: Qt only in forms/ folders and
# app/'s wiring (Application, main.cpp, app/qt/); X11 only in the .cpp files of platform/x11/
# and recording/x11/.
# Usage: check-layers.sh [SOURCE_ROOT]   (default: src/ beside this script)
set -uo pipefail
root=${1:-"$(dirname "$0")/../src"}
cd "$root" || exit 2

status=0
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
    if [ $qt_allowed = 0 ] && grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]' "$file"; then
        echo "$file: Qt outside forms/ and the application's wiring" >&2
        status=1
    fi
    if [ $x11_allowed = 0 ] && grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<X11/' "$file"; then
        echo "$file: X11 outside the .cpp files of platform/x11/ and recording/x11/" >&2
        status=1
    fi
done < <(find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print0)

[ $status = 0 ] && echo "layers: ok"
exit $status
