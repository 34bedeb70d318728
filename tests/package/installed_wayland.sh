#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The build tree installed into a scratch root as a package would install it, and the
# installed programs on a headless sway (wayland_session.sh, as the package test runs it).
# Usage: installed_wayland.sh BUILD_DIR
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: installed_wayland.sh BUILD_DIR}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# sway's unprivileged user runs the programs from here.
chmod 755 "$root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root/install.log" ||
    { cat "$root/install.log"; exit 1; }
# Qt's Wayland platform leaves its own proxies at exit.
printf 'leak:libwayland-client.so\n' | cat "$here/../../scripts/lsan.supp" - >"$root/lsan.supp"
chmod 644 "$root/lsan.supp"
"$here/../../scripts/with-sway.sh" env QUORVEL_INSTALLED_BIN="$root/usr/bin" \
    LSAN_OPTIONS="suppressions=$root/lsan.supp:print_suppressions=0" \
    QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none bash "$here/wayland_session.sh"
