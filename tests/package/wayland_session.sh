#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed programs on a Wayland session, run under scripts/with-sway.sh by
# install_test.sh: with default folders (a fresh HOME, no XDG_* but the runtime folder) and no
# tray, quorvel opens its main window as a native Wayland client, quorvelctl says typing works
# there, and TERM ends the program cleanly.
set -uo pipefail
# shellcheck source=installed-lib.bash
source "$(dirname "${BASH_SOURCE[0]}")/installed-lib.bash"

doctor=$("$bin/quorvelctl" doctor 2>&1)
grep -q "^Typing: works" <<<"$doctor" || fail "quorvelctl doctor on sway: $doctor"

"$bin/quorvel" >"$TMPDIR/quorvel.log" 2>&1 &
pid=$!
shown() {
    swaymsg -t get_tree | python3 -c 'import json, sys
def nodes(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from nodes(c)
sys.exit(not any(n.get("name") == "Ostrin Quorvel" and n.get("shell") == "xdg_shell"
                 for n in nodes(json.load(sys.stdin))))'
}
for _ in $(seq 1 150); do
    shown && break
    sleep 0.1
done
if shown; then
    echo "ok: the main window shows on sway as a native Wayland client"
else
    fail "no main window on sway: $(cat "$TMPDIR/quorvel.log")"
fi
kill -TERM "$pid"
wait "$pid" || fail "TERM did not end quorvel cleanly: $(cat "$TMPDIR/quorvel.log")"
exit $status
