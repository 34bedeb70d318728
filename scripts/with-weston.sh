#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private headless weston and stops weston afterwards; the command's exit
# status is returned. weston offers neither a virtual keyboard nor the list of its windows:
# a compositor with only some of what Quorvel uses. The command sees WAYLAND_DISPLAY and its
# own XDG_RUNTIME_DIR, and no DISPLAY or SWAYSOCK.
# Run as root, this makes (once) the unprivileged user $QUORVEL_TEST_USER (default
# quorvel-test) and runs weston and the command as that user, with HOME and TMPDIR in a
# private folder it owns, as scripts/with-sway.sh does.
set -euo pipefail

user=${QUORVEL_TEST_USER:-quorvel-test}
workdir=$(mktemp -d)
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    if [ -n "${weston_pid:-}" ]; then
        kill "$weston_pid" 2>/dev/null || true
        wait "$weston_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap "exit 143" TERM INT HUP

as_user=()
if [ "$(id -u)" -eq 0 ]; then
    if ! id -u "$user" >/dev/null 2>&1; then
        # Two runs at once may both try; the loser finds the user made.
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$user" 2>/dev/null || id -u "$user" >/dev/null
    fi
    as_user=(setpriv --reuid="$user" --regid="$user" --init-groups --)
    chmod 711 "$workdir"
fi

runtime=$workdir/runtime home=$workdir/home
mkdir -m 700 "$runtime" "$home" "$home/tmp"
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:" "$runtime" "$home"

unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
export XDG_RUNTIME_DIR=$runtime HOME=$home TMPDIR=$home/tmp XDG_CONFIG_HOME=$home/.config \
    XDG_CACHE_HOME=$home/.cache XDG_DATA_HOME=$home/.local/share
socket=wayland-weston
# No idle lock: a locked screen would hide the windows under test.
"${as_user[@]}" weston --backend=headless-backend.so --use-pixman --width=1280 --height=1024 \
    --idle-time=0 --socket="$socket" >"$workdir/weston.log" 2>&1 &
weston_pid=$!

for _ in $(seq 1 200); do
    [ -S "$runtime/$socket" ] && break
    if ! kill -0 "$weston_pid" 2>/dev/null; then break; fi
    sleep 0.05
done
if [ ! -S "$runtime/$socket" ]; then
    echo "with-weston: weston did not start" >&2
    cat "$workdir/weston.log" >&2
    exit 1
fi
export WAYLAND_DISPLAY=$socket

set +e
"${as_user[@]}" "$@"
status=$?
exit $status
