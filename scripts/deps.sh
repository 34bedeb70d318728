#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Quorvel needs to build, run and test.
# Idempotent: returns at once when everything is already installed. Packages named on the
# command line are installed too (scripts/package.sh adds what only packaging needs).
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev xdg-utils
    libx11-dev libxtst-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang-format clang-tidy shellcheck flake8
    # the real X desktop the tests run against
    xvfb xauth openbox xterm xdotool wmctrl x11-utils x11-xkb-utils fonts-dejavu-core xfonts-base
    # a real program holding a hot key of its own, as the peer of the conflict tests
    xbindkeys
    # editors of the two big toolkits that the typing tests and benchmarks type into
    zenity featherpad
    # driving the program through its accessibility tree, and screenshots of it
    dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0 imagemagick
    # printing: a private print server for the queue test, and reading printed PDFs back
    cups-daemon cups-client poppler-utils
    # desktop entries checked and launched as a desktop does
    desktop-file-utils libglib2.0-bin
    # tray hosts: XEmbed and StatusNotifier
    trayer haskell-status-notifier-item-utils
    # the installed layout's checks: AppStream metadata and manual pages
    appstream man-db
    # Wayland: the client library, keymaps, sway's IPC replies, native Qt windows
    libwayland-dev libxkbcommon-dev wayland-protocols nlohmann-json3-dev qt6-wayland
    # featherpad (Qt 5) as a native Wayland client of the typing tests
    qtwayland5
    # a real wlroots compositor for the Wayland tests, foot as their terminal, wtype as the
    # person's keyboard
    sway foot wtype
    # a compositor that offers only some of what Quorvel uses
    weston
    # screenshots of the windows on sway
    grim
    # a StatusNotifier host on sway: waybar's tray
    waybar
    # D-Bus for the desktops that offer their services there
    libsystemd-dev
    # KDE Plasma's compositor and the desktop portals, headless; a person's keyboard through
    # them, and the user's clipboard as the typing tests read it
    kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde python3-gi wl-clipboard
    # KWin's own input protocol, the fast route for our keys there
    plasma-wayland-protocols
    # GNOME Shell and its portal, headless
    gnome-shell mutter xdg-desktop-portal-gnome
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
