# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, made by `cpack -G DEB` from an install of the release build
# (scripts/package.sh).
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Ostrin")
set(CPACK_PACKAGE_CONTACT "Ostrin Quorvel Team <quorvel@ostrin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop macro tool for X11, sway, KDE Plasma and GNOME: hot keys, typing")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.ostrin.example/")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CPACK_PACKAGE_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# On a Wayland session the windows are native Wayland clients, through a plugin no library
# links to.
# On KDE Plasma and GNOME, typing and hot keys go through the desktop portals; the desktop's own
# portal backend comes with the desktop, and is only recommended, so that the package still
# installs where neither desktop is.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland, xdg-desktop-portal")
# Opening documents and web pages goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, xdg-desktop-portal-kde | xdg-desktop-portal-gnome | xdg-desktop-portal-gtk")
# The extended description; CPack puts the summary before it and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorvel keeps a list of named macros and runs each by a global hot key,
when a window with a given title appears, from the command line or a desktop
shortcut, or from another macro. A macro starts a program or document, replays
recorded keystrokes or mouse and keystrokes, or types text with special keys,
waits, repeats and questions.

It lives in the tray; a wizard makes new macros, and quorvelctl checks and
traces macros without typing anything. It works on X11 desktops and on Wayland
with sway, KDE Plasma (through the desktop portals and a KWin script) and GNOME
(through a GNOME Shell extension it ships).")
include(CPack)
