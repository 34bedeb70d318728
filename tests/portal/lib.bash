# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers of the KDE typing scripts, sourced by each (not a test itself); they run under
# scripts/with-kwin.sh. Gives what tests/wayland/lib.bash gives (work, the texts), with
# weston-terminal running `cat > FILE` as the target: foot 1.13 crashes on KWin's virtual output.
source "$(dirname "${BASH_SOURCE[0]}")/../wayland/lib.bash"
terminal_pid=""
# shellcheck disable=SC2317 # run by the trap
portal_cleanup() {
    if [ -n "$terminal_pid" ]; then kill "$terminal_pid" 2>/dev/null; fi
    wayland_cleanup
}
trap portal_cleanup EXIT
# The paste route asks the target's app id of the KWin window system; here the test knows it.
export QUORVEL_FOCUSED_APP=weston-terminal

# weston-terminal running `cat > FILE`, with the focus once this returns.
start_terminal() { # file
    local shell="$work/shell.$RANDOM"
    printf '#!/bin/sh\nexec cat > "%s"\n' "$1" >"$shell"
    chmod +x "$shell"
    weston-terminal --shell="$shell" >/dev/null 2>&1 &
    terminal_pid=$!
    wait_until 100 test -e "$1" || { echo "weston-terminal did not start its shell" >&2; return 1; }
    # Its window takes the focus once mapped, a moment after its shell runs.
    sleep 0.5
}

terminal_ended() {
    ! kill -0 "$terminal_pid" 2>/dev/null
}

# Waits for the terminal to end (the text's last line done with Ctrl+D): 0, or 255 when it did
# not end in time.
wait_for_terminal() { # seconds
    wait_until $(($1 * 10)) terminal_ended || return 255
    wait "$terminal_pid" 2>/dev/null
    terminal_pid=""
    return 0
}
