# SPDX-License-Identifier: GPL-3.0-or-later
# What the GNOME scripts that run the whole program share, sourced by each (not a test
# itself): the e2e helpers (bin, src, catalogue_ini, the default folders), the GNOME ones,
# libwayland's leaks left out of the sanitizer's report, and in_fresh_home, which runs a
# command with the default folders in this session.
# shellcheck disable=SC2034 # what it sets is for the scripts that source it
# shellcheck source=../e2e/lib.bash
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.bash"
e2e_work=$work
# shellcheck source=lib.bash
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
trap 'wayland_cleanup; work=$e2e_work; cleanup' EXIT

qt_on_wayland

in_fresh_home() { # command...
    with_default_folders env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" XDG_CURRENT_DESKTOP=GNOME \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" "$@"
}
