#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The tray icon against real tray hosts on a private desktop with its own D-Bus session:
# an XEmbed tray (trayer) with the icon's menu, the about box, the double click and Exit,
# then a StatusNotifier watcher whose Activate opens the main window. Screenshots go to
# $QUORVEL_ARTIFACTS.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

for tool in trayer status-notifier-watcher gdbus; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
prepare_accessibility

# Not the first run: the program starts hidden, the icon its only sign.
home="$work/home"
mkdir -p "$home"
printf '[Main]\nEntries=0\nFirstRun=0\n' >"$home/macros.ini"

tray_owned() { xdotool search --classname trayer >/dev/null; }
trayer --edge top --align right --widthtype pixel --width 120 --height 32 \
    --SetDockType true --transparent false >"$work/trayer.log" 2>&1 &
trayer=$!
pids+=("$trayer")
wait_for 10 tray_owned || fail "trayer did not start"
sleep 0.5

QUORVEL_HOME="$home" "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

timeout 90 /usr/bin/python3 -B "$here/tray.py" "$quorvel"
driver=$?
check "the XEmbed tray driver's checks" test "$driver" -eq 0
check "Exit ends the program" wait_for 10 sh -c "! kill -0 $quorvel"
check "Exit saved the placement" grep -q '^\[Position\]' "$home/macros.ini"
if [ "$driver" -ne 0 ]; then
    sed 's/^/    quorvel: /' "$work/quorvel.log" | grep -v 'XDG_RUNTIME_DIR' | tail -20
fi
kill "$quorvel" 2>/dev/null
wait "$quorvel" 2>/dev/null

# Exit with the main window never opened: a window never placed leaves the stored placement.
printf '[Main]\nEntries=0\nFirstRun=0\n[Position]\nWidth=500\nHeight=400\nTop=120\nLeft=140\n' \
    >"$home/macros.ini"
QUORVEL_HOME="$home" "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")
timeout 60 /usr/bin/python3 -B "$here/tray.py" "$quorvel" exit
check "Exit from the tray alone" wait_for 10 sh -c "! kill -0 $quorvel"
check "Exit keeps a placement the hidden window never took" grep -qx 'Left=140' "$home/macros.ini"
kill "$quorvel" "$trayer" 2>/dev/null
wait "$quorvel" 2>/dev/null

# A StatusNotifier host: Qt speaks D-Bus to it, and its activation is our open.
status-notifier-watcher >"$work/watcher.log" 2>&1 &
pids+=($!)
watcher_up() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher | grep -q true
}
wait_for 10 watcher_up || fail "status-notifier-watcher did not register"
# Qt speaks D-Bus only when a host has registered with the watcher: stand in for a panel.
/usr/bin/python3 -c '
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
name = "org.kde.StatusNotifierHost-%d" % __import__("os").getpid()
Gio.bus_own_name_on_connection(bus, name, 0, None, None)
GLib.timeout_add(300, lambda: bus.call_sync("org.kde.StatusNotifierWatcher",
    "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher", "RegisterStatusNotifierHost",
    GLib.Variant("(s)", (name,)), None, 0, -1, None) and False)
GLib.MainLoop().run()' >"$work/host.log" 2>&1 &
pids+=($!)
host_up() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher \
        IsStatusNotifierHostRegistered | grep -q true
}
wait_for 10 host_up || fail "no StatusNotifier host registered"

# This copy with the default folders.
seed_default_folders "$home/macros.ini"
with_default_folders "$bin/quorvel" >"$work/quorvel-sni.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

items() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher \
        --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems
}
# An entry is "service/path" or a bare service (this watcher keeps the sender's unique
# name), whose object is then at Qt's fixed path.
first_item() { items | grep -o "'[^']*'" | head -n1 | tr -d "'"; }
registered() { [ -n "$(first_item)" ]; }
check "the icon registers with the watcher" wait_for 20 registered
item=$(first_item)
service=${item%%/*}
path=/StatusNotifierItem
[ "$service" != "$item" ] && path=/${item#*/}
owner_pid() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.GetConnectionUnixProcessID "$1" | grep -o '[0-9]\+' | tail -n1
}
check "the registered item is ours" test "$(owner_pid "$service" 2>/dev/null)" = "$quorvel"
echo "item: $item (service $service, path $path)"
window_shown() { [ -n "$(window_of "Ostrin Quorvel")" ]; }
check "the main window is hidden before activation" test -z "$(window_of "Ostrin Quorvel")"
sleep 1
gdbus call --session --dest "$service" --object-path "$path" \
    --method org.kde.StatusNotifierItem.Activate 10 10 >/dev/null
check "Activate opens the main window" wait_for 10 window_shown
kill -TERM "$quorvel"
check "SIGTERM ends the program" wait_for 10 sh -c "! kill -0 $quorvel"
finish
