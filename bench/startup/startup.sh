#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up figures of a built quorvel: the median time from launch to the main window on the
# screen, and the resident size of an idle program hidden in the tray, with a catalogue of four
# macros. Runs on a private X server with its own D-Bus session.
#   bash bench/startup/startup.sh [build folder] [runs to the window] [idle runs]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ -z "${QUORVEL_BENCH_DESKTOP:-}" ]; then
    QUORVEL_BENCH_DESKTOP=1 exec "$root/scripts/with-xvfb.sh" \
        dbus-run-session -- bash "${BASH_SOURCE[0]}" "$@"
fi
bin=$(realpath "${1:-build/release}")/src/quorvel
runs=${2:-15}
idle_runs=${3:-5}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

# Four macros, one of each kind, two with hot keys.
catalogue() { # extra [Main] lines
    mkdir -p "$work/home"
    {
        printf '[Main]\nEntries=4\n%s' "$1"
        local n=0 name kind file key
        while read -r name kind file key; do
            n=$((n + 1))
            printf '[Macro%d]\nName=%s\nType=%s\nFileName=%s\n' "$n" "$name" "$kind" "$file"
            if [ -n "$key" ]; then printf 'HotKey=%s\n' "$key"; fi
        done <<'RECORDS'
Notes 1 true
Typing 2 Typing.dat 24692
Mail 4 Mail.key 49236
Replay 3 Replay.jnl
RECORDS
    } >"$work/home/macros.ini"
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# No tray yet: the program shows its main window at start.
catalogue $'FirstRun=0\n'
times=()
for _ in $(seq "$runs"); do
    start=$(now_ms)
    QUORVEL_HOME="$work/home" "$bin" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" --name 'Quorvel' >/dev/null 2>&1; do
        sleep 0.002
    done
    times+=($(($(now_ms) - start)))
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "start to main window: median ${median} ms over $runs runs (${times[*]})"

# With a tray the program starts hidden in it.
trayer --edge top --align right --widthtype pixel --width 120 --height 32 \
    --SetDockType true --transparent false >/dev/null 2>&1 &
until xdotool search --classname trayer >/dev/null 2>&1; do sleep 0.05; done
# The median of a few starts; the split tells the program's own memory from the libraries'
# pages it touched.
sizes=()
for _ in $(seq "$idle_runs"); do
    QUORVEL_HOME="$work/home" "$bin" >/dev/null 2>&1 &
    pid=$!
    sleep 3
    # Only the tray icon may show: the main window is larger.
    for window in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        if [ "$WIDTH" -gt 64 ]; then echo "a window of ${WIDTH}x$HEIGHT shows: no tray?" >&2; fi
    done
    sizes+=("$(awk '/^(VmRSS|RssAnon|RssFile):/ { printf "%s ", $2 }' "/proc/$pid/status")")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
done
read -r rss anon file < <(printf '%s\n' "${sizes[@]}" | sort -n | sed -n "$(((idle_runs + 1) / 2))p")
all=$(printf '%s\n' "${sizes[@]}" | cut -d' ' -f1 | paste -sd' ')
echo "idle resident size in the tray: median $rss kB over $idle_runs runs ($all)," \
    "of it anonymous $anon kB, mapped files $file kB"
