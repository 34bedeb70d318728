#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The package as a new user meets it, on a machine where it is not installed yet: installs
# the .deb with apt-get, makes a fresh user and runs session.sh as that user on a private
# desktop (Xvfb, openbox, D-Bus, a tray) with default folders, then wayland_session.sh on a
# headless sway and kde_session.sh on a headless KWin, then removes the package and the user.
# Needs root.
# Usage: install_test.sh PACKAGE.deb
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
deb=$(realpath "${1:?usage: install_test.sh PACKAGE.deb}")
[ "$(id -u)" -eq 0 ] || { echo "install_test.sh: needs root (apt-get, useradd)" >&2; exit 2; }
if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q "install ok installed"; then
    echo "install_test.sh: quorvel is installed already; remove it first" >&2
    exit 2
fi

user=quorveltry$$
scripts=$(mktemp -d)
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    userdel --force --remove "$user" 2>/dev/null
    rm -rf "$scripts"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quorvel >/dev/null 2>&1
}
trap cleanup EXIT

started=$(date +%s%N)
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$scripts/apt.log" 2>&1 \
    || { cat "$scripts/apt.log"; echo "FAIL: apt-get install" >&2; exit 1; }
ms=$((($(date +%s%N) - started) / 1000000))
echo "installed $(basename "$deb") ($(du -k "$deb" | cut -f1) KB) in $((ms / 1000)).$(printf %03d $((ms % 1000))) s"

useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
# The drivers where the new user can read them; nothing else of the source tree.
cp "$here"/session.sh "$here"/wayland_session.sh "$here"/kde_session.sh "$here"/installed-lib.bash "$here"/tray_autostart.py "$here"/../e2e/*.py "$here"/../e2e/*.bash \
    "$scripts"/
chmod -R a+rX "$scripts"
runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash \
    PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 bash "$scripts/session.sh"
status=$?
# The same programs on a Wayland session: headless sway, run as an unprivileged user of its own.
bash "$here/../../scripts/with-sway.sh" bash "$scripts/wayland_session.sh" || status=1
# And on headless KDE Plasma, where only the package's menu entry lets it type straight into KWin.
bash "$here/../../scripts/with-kwin.sh" bash "$scripts/kde_session.sh" || status=1
# The screenshots outlive the user, beside the package.
rm -rf "$(dirname "$deb")/install-test-artifacts"
cp -r "$home/artifacts" "$(dirname "$deb")/install-test-artifacts" 2>/dev/null

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quorvel >/dev/null 2>&1
if [ -e /usr/bin/quorvel ]; then
    echo "FAIL: removing the package left /usr/bin/quorvel" >&2
    status=1
else
    echo "ok: the package is removed"
fi
exit $status
