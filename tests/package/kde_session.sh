#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed program on KDE Plasma, run under scripts/with-kwin.sh by install_test.sh with
# default folders and no grant of the test's own: KWin lets /usr/bin/quorvel type straight
# into it because the package's menu entry says so, and a macro run from the command line
# types into weston-terminal exactly, é (pasted) included.
set -uo pipefail
# shellcheck source=installed-lib.bash
source "$(dirname "${BASH_SOURCE[0]}")/installed-lib.bash"

mkdir -p "$HOME/.config/quorvel" "$HOME/.local/share/quorvel"
printf '[Main]\nEntries=1\nFirstRun=0\n[Macro1]\nName=Hello\nType=4\nFileName=Hello.key\n' \
    >"$HOME/.config/quorvel/macros.ini"
printf 'Hello, KWin é<<ENTER>><<CTRL>>d' >"$HOME/.local/share/quorvel/Hello.key"

out=$TMPDIR/typed.txt
printf '#!/bin/sh\nexec cat > "%s"\n' "$out" >"$TMPDIR/shell.sh"
chmod +x "$TMPDIR/shell.sh"
weston-terminal --shell="$TMPDIR/shell.sh" >/dev/null 2>&1 &
terminal=$!
for _ in $(seq 1 100); do
    [ -e "$out" ] && break
    sleep 0.1
done
sleep 0.5 # mapped and focused

WAYLAND_DEBUG=client timeout 30 "$bin/quorvel" '/Open:"Hello"' /Close >"$TMPDIR/quorvel.log" 2>&1 \
    || fail "quorvel /Open: status $?: $(grep -v '^\[' "$TMPDIR/quorvel.log" | tail -5)"
for _ in $(seq 1 50); do
    kill -0 "$terminal" 2>/dev/null || break
    sleep 0.1
done
kill "$terminal" 2>/dev/null
if [ "$(cat "$out")" = "Hello, KWin é" ]; then
    echo "ok: the macro typed into weston-terminal exactly"
else
    fail "typed [$(cat "$out")], expected [Hello, KWin é]"
fi
if grep -q 'org_kde_kwin_fake_input@[0-9]*\.keyboard_key' "$TMPDIR/quorvel.log"; then
    echo "ok: through KWin's own input protocol, which the menu entry grants"
else
    fail "not through KWin's input protocol"
fi
exit $status
