#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The checker and the dry run on the wizard's advanced page, on a private desktop: a misspelt
# token typed into the memo is reported in the "Macro Check" panel, and "Dry Run" tells the
# steps in its panel, both read over the accessibility bus; with the default folders.
# Screenshots go to $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

command -v xdotool >/dev/null || fail "xdotool is missing (scripts/deps.sh installs it)"
prepare_accessibility

with_default_folders "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

# -B: no byte code left in the source tree.
timeout 120 /usr/bin/python3 -B "$here/editor_check.py"
driver=$?
check "the driver's checks" test "$driver" -eq 0
check "the program runs on" kill -0 "$quorvel"
if [ "$driver" -ne 0 ] || ! kill -0 "$quorvel" 2>/dev/null; then
    sed 's/^/    quorvel: /' "$work/quorvel.log" | grep -v 'XDG_RUNTIME_DIR' | tail -30
fi
finish
