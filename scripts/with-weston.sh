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

# shellcheck source=scripts/private-session.bash
source "$(dirname "${BASH_SOURCE[0]}")/private-session.bash"

socket=wayland-weston
# No idle lock: a locked screen would hide the windows under test.
"${as_user[@]}" weston --backend=headless-backend.so --use-pixman --width=1280 --height=1024 \
    --idle-time=0 --socket="$socket" >"$workdir/weston.log" 2>&1 &
weston_pid=$!
stop_pids+=("$weston_pid")

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
