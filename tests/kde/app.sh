#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The whole program on headless KDE Plasma: a macro run by its hot key, pressed on the person's
# keyboard, and one fired by a window's title at once, not at the next scan; at the end its
# shortcuts leave KDE's shortcut settings.
# Runs under scripts/with-kwin.sh.
set -uo pipefail
: "${QUORVEL_SOURCE_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.bash"
qt_on_wayland

catalogue_ini FirstRun=0 SearchInterval=60000 \
    -- Name=Hot Type=1 HotKey=49236 "FileName=sh~~-c 'echo hot >> $work/fired'~~" \
    -- Name=Titled Type=1 "FileName=sh~~-c 'echo titled >> $work/fired'~~" \
    "Trigger=trigger window" >"$work/macros.ini"
seed_default_folders "$work/macros.ini"

# Plasma 6 names a token-only caller's component token_<token>.
ours_bound() {
    local component
    for component in quorvel token_quorvel; do
        gdbus call --session -d org.kde.kglobalaccel -o "/component/$component" \
            -m org.kde.kglobalaccel.Component.shortcutNames 2>/dev/null \
            | grep -qi "CTRL+ALT+t" && return 0
    done
    return 1
}
fired() { grep -qx "$1" "$work/fired" 2>/dev/null; }

with_default_folders env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" \
    XDG_CURRENT_DESKTOP="$XDG_CURRENT_DESKTOP" "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")
check "the hot key is bound through the portal" wait_for 20 ours_bound
echo "29+56+20" >"$QUORVEL_PERSON_KEYS" # Ctrl+Alt+T
check "the hot key runs its macro" wait_for 5 fired hot

printf '#!/bin/sh\nprintf "\\033]0;trigger window\\007"\nsleep 60\n' >"$work/titled.sh"
chmod +x "$work/titled.sh"
weston-terminal --shell="$work/titled.sh" >/dev/null 2>&1 &
pids+=($!)
check "a window's title fires its trigger at once" wait_for 5 fired titled

kill "$quorvel"
wait "$quorvel" 2>/dev/null
check "it ends cleanly on a signal" test $? -eq 0
check "its shortcuts leave with it" wait_for 5 eval '! ours_bound'
sed 's/^/    quorvel: /' "$work/quorvel.log" | head -20
finish
