# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that run a command on a private headless compositor (not run itself).
# Makes workdir, removed at exit after the processes the caller adds to stop_pids are stopped,
# the last started first. Run as root, makes (once) the unprivileged user
# $QUORVEL_TEST_USER (default quorvel-test), since sway refuses to run as root, and gives
# as_user, the prefix that runs a command as that user (empty otherwise). Makes the session's
# runtime and home folders in $workdir, owned by that user, and exports XDG_RUNTIME_DIR, HOME,
# TMPDIR and the XDG folders there, with no display variable left.
workdir=$(mktemp -d)
stop_pids=()
# shellcheck disable=SC2317 # run by the trap
cleanup() {
    local i
    for ((i = ${#stop_pids[@]} - 1; i >= 0; i--)); do
        kill "${stop_pids[i]}" 2>/dev/null || true
        wait "${stop_pids[i]}" 2>/dev/null || true
    done
    rm -rf "$workdir"
}
trap cleanup EXIT
trap "exit 143" TERM INT HUP

user=${QUORVEL_TEST_USER:-quorvel-test}
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
# Screenshots go to QUORVEL_ARTIFACTS, which the user must be able to write.
if [ -n "${QUORVEL_ARTIFACTS:-}" ]; then
    mkdir -p "$QUORVEL_ARTIFACTS"
    [ ${#as_user[@]} -eq 0 ] || chown "$user:" "$QUORVEL_ARTIFACTS"
fi

unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
export XDG_RUNTIME_DIR=$runtime HOME=$home TMPDIR=$home/tmp XDG_CONFIG_HOME=$home/.config \
    XDG_CACHE_HOME=$home/.cache XDG_DATA_HOME=$home/.local/share
