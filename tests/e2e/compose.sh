#!/usr/bin/env bash
# An advanced macro composed on the wizard's advanced page with its menus and command
# dialogs, found by their accessible names on a private desktop: a window wait, a modifier
# with a key, a delay, a repeat block, an input box and its value, and Enter. The saved text
# is checked exactly, and its hot key must type the expected line into an xterm, the input
# box answered over the accessibility bus. Screenshots go to $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ -z "${QUORVEL_DESKTOP:-}" ]; then
    source "$here/lib-desktop.bash"
    desktop_run bash "$0" "$@"
    exit $?
fi
source "$here/lib.bash"

for tool in xterm xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
prepare_accessibility

data="$work/data"
mkdir -p "$data"
QUORVEL_HOME="$data" "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

# -B: no byte code left in the source tree.
timeout 150 /usr/bin/python3 -B "$here/compose.py" "$data" "$work"
driver=$?
check "the driver's checks" test "$driver" -eq 0
check "the program runs on" kill -0 "$quorvel"
if [ "$driver" -ne 0 ] || ! kill -0 "$quorvel" 2>/dev/null; then
    sed 's/^/    quorvel: /' "$work/quorvel.log" | grep -v 'XDG_RUNTIME_DIR' | tail -30
    sed 's/^/    macros.ini: /' "$data/macros.ini" 2>/dev/null
fi
finish
