#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The build tree installed into a scratch root as a package would install it: the expected
# files and nothing else, the desktop entry, metadata and manual pages valid, and the
# installed programs run with default folders (a fresh HOME, no QUORVEL_HOME, no XDG_*
# variables): quorvelctl answers, and the menu entry's Exec line on a desktop with a tray
# and a D-Bus session opens the main window on the first run.
# Usage: installed.sh BUILD_DIR (run under scripts/with-xvfb.sh).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: installed.sh BUILD_DIR}
root=$(mktemp -d)
export QUORVEL_BIN="$root/usr/bin"
source "$here/../e2e/lib.bash"
trap 'cleanup; rm -rf "$root"' EXIT

for tool in desktop-file-validate appstreamcli man xdotool trayer dbus-run-session; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done

DESTDIR="$root" cmake --install "$build" --prefix /usr >"$work/install.log" \
    || { cat "$work/install.log"; fail "cmake --install failed"; }

id=example.ostrin.Quorvel
icons=$(for s in 16 22 24 32 48 64 128 256; do echo "usr/share/icons/hicolor/${s}x$s/apps/$id.png"; done)
expected=$(sort <<LIST
usr/bin/quorvel
usr/bin/quorvelctl
usr/share/applications/$id.desktop
usr/share/metainfo/$id.metainfo.xml
usr/share/icons/hicolor/scalable/apps/$id.svg
$icons
usr/share/man/man1/quorvel.1.gz
usr/share/man/man1/quorvelctl.1.gz
usr/share/doc/quorvel/copyright
usr/share/doc/quorvel/changelog.gz
usr/share/gnome-shell/extensions/quorvel@ostrin.example/extension.js
usr/share/gnome-shell/extensions/quorvel@ostrin.example/metadata.json
LIST
)
installed=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)
check "the installed files, and no test or benchmark among them" test "$installed" = "$expected"
[ "$installed" = "$expected" ] || diff <(echo "$expected") <(echo "$installed") | sed 's/^/    /'

check "the GNOME Shell extension's metadata is JSON naming its UUID" python3 -c 'import json, sys
sys.exit(json.load(open(sys.argv[1]))["uuid"] != "quorvel@ostrin.example")' \
    "$root/usr/share/gnome-shell/extensions/quorvel@ostrin.example/metadata.json"
check "the programs are executable" test -x "$root/usr/bin/quorvel" -a -x "$root/usr/bin/quorvelctl"
check "the desktop entry is valid" desktop-file-validate "$root/usr/share/applications/$id.desktop"
check "the AppStream metadata is valid" \
    appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
png_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$1"; }
for s in 16 48 256; do
    check "the ${s}px icon is ${s}x$s" test "$(png_size "$root/usr/share/icons/hicolor/${s}x$s/apps/$id.png")" = "${s}x$s"
done
check "the copyright file names the license" \
    grep -qx 'License: GPL-3.0-or-later' "$root/usr/share/doc/quorvel/copyright"
for page in quorvel quorvelctl; do
    MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" >"$work/$page.txt" 2>"$work/$page.err"
    check "man -l $page renders without warnings" \
        sh -c "grep -q '^NAME' '$work/$page.txt' && grep -q '^EXIT STATUS' '$work/$page.txt' && ! test -s '$work/$page.err'"
done

# Default folders: nothing of the caller's environment but the display and the sanitizers'.
home="$work/home"
mkdir -p "$home"
as_new_user() {
    env -i HOME="$home" PATH="$root/usr/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" \
        ${LSAN_OPTIONS:+LSAN_OPTIONS="$LSAN_OPTIONS"} ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} \
        ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"} "$@"
}
as_new_user quorvelctl --help >"$work/help.out" 2>&1
check "quorvelctl --help" grep -q '^Usage: quorvelctl' "$work/help.out"
as_new_user quorvelctl list >"$work/list.out" 2>&1
check "quorvelctl list with no catalogue yet lists nothing" test "$?:$(cat "$work/list.out")" = "0:"

start_tray

exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/$id.desktop")
check "the menu entry starts quorvel by its path" test "$exec_line" = /usr/bin/quorvel
check "the menu entry lets quorvel type straight into KWin" grep -qx \
    'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input' "$root/usr/share/applications/$id.desktop"
# As a launcher does: the Exec line through a shell, inside the user's D-Bus session; the
# program's path lies in the scratch root here.
as_new_user dbus-run-session -- sh -c "echo \$\$ >'$work/pid'; exec $root$exec_line" \
    >"$work/quorvel.log" 2>&1 &
session=$!
pids+=("$session")
check "the first run shows the main window" wait_for 20 window_of "Ostrin Quorvel"
check "the first run is remembered in the default catalogue" \
    wait_for 5 grep -q '^FirstRun=0' "$home/.config/quorvel/macros.ini"
kill -TERM "$(cat "$work/pid")"
check "SIGTERM ends it" wait_for 10 sh -c "! kill -0 $session"
[ "$failed" -eq 0 ] || sed 's/^/    quorvel: /' "$work/quorvel.log" | tail -20
finish
