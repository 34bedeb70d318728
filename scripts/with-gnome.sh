#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private headless GNOME Shell (Wayland only, one virtual monitor) with its
# own session bus, and stops the shell afterwards; the command's exit status is returned. The
# command sees WAYLAND_DISPLAY, XDG_CURRENT_DESKTOP=GNOME, DBUS_SESSION_BUS_ADDRESS and its own
# XDG_RUNTIME_DIR, and no DISPLAY. xdg-desktop-portal and its GNOME backend start on demand.
#
# QUORVEL_GNOME_EXTENSION_DIR: a built extension folder (metadata.json, extension.js), installed
# into the session's own data folder, so no root install is needed; unset, none is installed.
# Where the build has the other format beside it (../../legacy or ../../module) and only that
# one claims the running shell's version, that one is installed.
# QUORVEL_GNOME_EXTENSION_ENABLED=0 installs it without enabling it. QUORVEL_GNOME_LOG: a file
# for the shell's output (the session user must be able to write it).
#
# Run as root (as CI does), it starts a system bus if none runs, since the shell needs one, and
# runs the shell and the command as $QUORVEL_TEST_USER in a mount namespace of their own where
# /run/systemd is empty: the shell takes a present /run/systemd for a running systemd, and
# without one it fails at start.
set -euo pipefail

uuid=quorvel@ostrin.example

if [ "${1:-}" != "--inner" ]; then
    # shellcheck source=scripts/private-session.bash
    source "$(dirname "${BASH_SOURCE[0]}")/private-session.bash"
    self=$(readlink -f "${BASH_SOURCE[0]}")
    if [ -n "${QUORVEL_GNOME_EXTENSION_DIR:-}" ]; then
        if [ ! -f "$QUORVEL_GNOME_EXTENSION_DIR/metadata.json" ]; then
            echo "with-gnome: no extension in $QUORVEL_GNOME_EXTENSION_DIR" >&2
            exit 1
        fi
        # A build holds both formats side by side: the one that claims this shell's version.
        source_dir=$QUORVEL_GNOME_EXTENSION_DIR
        shell_major=$(gnome-shell --version 2>/dev/null | grep -o '[0-9]\+' | head -1 || true)
        for candidate in "$source_dir" "$source_dir"/../../{legacy,module}/"$uuid"; do
            if [ -n "$shell_major" ] && [ -f "$candidate/metadata.json" ] &&
                grep -q "\"$shell_major\"" "$candidate/metadata.json"; then
                source_dir=$candidate
                break
            fi
        done
        target=$XDG_DATA_HOME/gnome-shell/extensions/$uuid
        mkdir -p "$target"
        cp -r "$source_dir/." "$target/"
        [ ${#as_user[@]} -eq 0 ] || chown -R "$user:" "$home"
    fi
    export QUORVEL_GNOME_WORKDIR=$workdir
    [ ${#as_user[@]} -eq 0 ] || chown "$user:" "$workdir"
    set +e
    if [ "$(id -u)" -eq 0 ]; then
        if ! dbus-send --system --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.GetId >/dev/null 2>&1; then
            # No pid file: one left by a bus that is gone would stop the start.
            mkdir -p /run/dbus
            dbus-daemon --system --fork --nopidfile || { echo "with-gnome: no system bus" >&2; exit 1; }
        fi
        unshare -m --propagation private -- bash -c \
            'mount -t tmpfs tmpfs /run/systemd && exec "$@"' with-gnome \
            "${as_user[@]}" bash "$self" --inner "$@"
    else
        bash "$self" --inner "$@"
    fi
    exit $?
fi

# Inside: as the session's user, in the mount namespace. A bus of our own first.
shift
if [ -z "${QUORVEL_GNOME_BUS:-}" ]; then
    export QUORVEL_GNOME_BUS=1 XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland
    exec dbus-run-session -- bash "${BASH_SOURCE[0]}" --inner "$@"
fi
unset QUORVEL_GNOME_BUS
workdir=$QUORVEL_GNOME_WORKDIR
log=${QUORVEL_GNOME_LOG:-$workdir/gnome-shell.log}

# Settings the shell reads at start: user extensions on, ours enabled, no welcome tour.
enabled="[]"
if [ -n "${QUORVEL_GNOME_EXTENSION_DIR:-}" ] && [ "${QUORVEL_GNOME_EXTENSION_ENABLED:-1}" != 0 ]
then
    enabled="['$uuid']"
fi
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.shell enabled-extensions "$enabled"
gsettings set org.gnome.shell welcome-dialog-last-shown-version 999

gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 >"$log" 2>&1 &
shell_pid=$!
# shellcheck disable=SC2317 # run by the trap
stop_shell() {
    kill "$shell_pid" 2>/dev/null || true
    wait "$shell_pid" 2>/dev/null || true
}
trap stop_shell EXIT
trap "exit 143" TERM INT HUP

has_owner() { # name
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

# Ready once the Wayland socket is there and the shell (and our extension, when enabled) owns
# its name on the bus.
# An extension installed but not enabled: once the shell has read it.
knows_extension() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Extensions.GetExtensionInfo "$uuid" 2>/dev/null |
        grep -q "'state'"
}
wanted=org.gnome.Shell
[ "$enabled" = "[]" ] || wanted=example.ostrin.Quorvel.Shell
ready=""
for _ in $(seq 1 400); do
    if ! kill -0 "$shell_pid" 2>/dev/null; then break; fi
    socket=$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'wayland-*' -type s -printf '%f\n' |
        head -n1)
    if [ -n "$socket" ] && has_owner org.gnome.Shell && has_owner "$wanted" &&
        { [ -z "${QUORVEL_GNOME_EXTENSION_DIR:-}" ] || [ "$enabled" != "[]" ] || knows_extension; }
    then
        ready=1
        break
    fi
    sleep 0.05
done
if [ -z "$ready" ]; then
    echo "with-gnome: gnome-shell did not start (or $wanted did not appear)" >&2
    cat "$log" >&2
    exit 1
fi
export WAYLAND_DISPLAY=$socket
# The portals, started by the bus on demand, take the display from its activation environment.
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_SESSION_TYPE

set +e
"$@"
status=$?
exit $status
