# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the installed-program scripts of the Wayland sessions: the installed programs'
# folder in $bin, default folders (no XDG_* but the runtime folder, no QUORVEL_HOME), and
# fail(), which marks the run failed and goes on.
# shellcheck disable=SC2034 # what it sets is for the scripts that source it
bin=${QUORVEL_INSTALLED_BIN:-/usr/bin}
unset XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME QUORVEL_HOME
status=0
fail() {
    echo "FAIL: $*" >&2
    status=1
}
