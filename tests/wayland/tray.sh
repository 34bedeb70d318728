#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The tray on sway, on a D-Bus session of its own: with no StatusNotifier host the main window
# shows at start; with waybar's tray as the host the program starts hidden, its item is
# registered with the watcher, the item's Activate opens the main window and its menu's Exit
# ends the program.
# Runs under scripts/with-sway.sh.
set -uo pipefail
[ -n "${QUORVEL_TRAY_BUS:-}" ] || exec env QUORVEL_TRAY_BUS=1 dbus-run-session -- bash "$0" "$@"
: "${QUORVEL_SOURCE_DIR:?}"
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.bash"
e2e_work=$work
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
trap 'wayland_cleanup; work=$e2e_work; cleanup' EXIT
command -v waybar >/dev/null || fail "waybar is missing (scripts/deps.sh installs it)"

qt_on_wayland

# Not the first run: with a tray the program starts hidden.
printf '[Main]\nEntries=0\nFirstRun=0\n' >"$work/macros.ini"
seed_default_folders "$work/macros.ini"
run_quorvel() {
    with_default_folders env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$bin/quorvel" \
        >>"$work/quorvel.log" 2>&1 &
    quorvel=$!
    pids+=("$quorvel")
}
stop_quorvel() {
    kill -TERM "$quorvel"
    wait "$quorvel"
    check "TERM ends the program cleanly" test $? -eq 0
}
main_window() { has_window "Ostrin Quorvel"; }

run_quorvel
check "with no tray host the main window shows at start" wait_until 100 main_window
stop_quorvel
wait_until 50 eval '! main_window'

# waybar's tray module owns the watcher and registers itself as its host.
printf '{"layer": "top", "modules-right": ["tray"]}\n' >"$work/waybar.json"
: >"$work/waybar.css"
waybar -c "$work/waybar.json" -s "$work/waybar.css" >"$work/waybar.log" 2>&1 &
pids+=($!)
watcher() { # property
    gdbus call --session --dest org.kde.StatusNotifierWatcher \
        --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher "$1" 2>/dev/null
}
host_up() { watcher IsStatusNotifierHostRegistered | grep -q true; }
wait_until 100 host_up || fail "waybar registered no StatusNotifier host: $(cat "$work/waybar.log")"

run_quorvel
# An entry is "service/path" or a bare service, whose item is then at the usual path.
first_item() { watcher RegisteredStatusNotifierItems | grep -o "'[^']*'" | head -n1 | tr -d "'"; }
registered() { [ -n "$(first_item)" ]; }
check "the item registers with the watcher" wait_until 100 registered
item=$(first_item)
service=${item%%/*} path=/StatusNotifierItem
[ "$service" = "$item" ] || path=/${item#*/}
owner=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.GetConnectionUnixProcessID "$service" | grep -o '[0-9]\+' | tail -n1)
check "the registered item is ours ($item)" test "$owner" = "$quorvel"
check "with a tray the program starts hidden" eval '! wait_until 10 main_window'
gdbus call --session --dest "$service" --object-path "$path" \
    --method org.kde.StatusNotifierItem.Activate 10 10 >/dev/null
check "Activate opens the main window" wait_until 100 main_window

# The icon's menu goes over D-Bus too: its Exit ends the program.
menu=$(gdbus call --session --dest "$service" --object-path "$path" \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem Menu |
    grep -o "'/[^']*'" | tr -d "'")
exit_id=$(gdbus call --session --dest "$service" --object-path "${menu:-/}" \
    --method com.canonical.dbusmenu.GetLayout -- 0 -1 '@as []' |
    grep -oP "\(\d+(?=, \{[^}]*'label': <'_Exit'>)" | tr -d '(')
check "the menu has Exit" test -n "$exit_id"
gdbus call --session --dest "$service" --object-path "${menu:-/}" \
    --method com.canonical.dbusmenu.Event -- "${exit_id:-0}" clicked '<0>' 0 >/dev/null
check "its Exit ends the program" wait_until 100 eval "! kill -0 $quorvel 2>/dev/null"
wait "$quorvel"
check "and cleanly" test $? -eq 0
[ "$failed" -eq 0 ] || sed 's/^/    quorvel: /' "$work/quorvel.log" | tail -20
finish
