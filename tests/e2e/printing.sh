#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One job through a real print queue: a private cupsd started here, a raw queue whose backend
# copies each job into a folder, the list printed from the main window through the print
# dialog, and the job read back as text. cupsd goes with the script.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib-desktop.bash"
on_private_desktop "$@"
source "$here/lib.bash"

for tool in cupsd lpadmin lpstat pdftotext; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh installs it)"
done
prepare_accessibility

# cupsd drops to the lp user for its jobs: its folders must be reachable, the backend not
# (a backend only root may run is run as root).
cups="$work/cups"
queue=QuorvelTest
mkdir -p "$cups"/{bin/backend,spool/tmp,cache,state,log,jobs}
chmod 755 "$work" "$cups"
chmod 1777 "$cups/spool/tmp"
for part in daemon notifier; do ln -s "/usr/lib/cups/$part" "$cups/bin/$part"; done
cat >"$cups/bin/backend/quorvelcopy" <<'SH'
#!/bin/sh
# No arguments: the scheme is announced. Else the job (a file or stdin) and its title are
# copied into the folder named by the device.
if [ $# -eq 0 ]; then echo 'direct quorvelcopy "Unknown" "Job folder"'; exit 0; fi
dest=${DEVICE_URI#quorvelcopy:}
printf '%s' "$3" >"$dest/job-$1.title"
if [ -n "${6:-}" ]; then cp "$6" "$dest/job-$1.tmp"; else cat >"$dest/job-$1.tmp"; fi
mv "$dest/job-$1.tmp" "$dest/job-$1.out"
SH
chmod 700 "$cups/bin/backend/quorvelcopy"
# Only a socket of our own: nothing listens on the network.
cat >"$cups/cupsd.conf" <<CONF
Listen $cups/cups.sock
LogLevel info
WebInterface no
Browsing no
DefaultAuthType None
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$cups/cups-files.conf" <<CONF
ServerRoot $cups
ServerBin $cups/bin
RequestRoot $cups/spool
TempDir $cups/spool/tmp
CacheDir $cups/cache
StateDir $cups/state
ErrorLog $cups/log/error_log
AccessLog $cups/log/access_log
PageLog $cups/log/page_log
Printcap $cups/printcap
SystemGroup root
CONF
cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" >"$cups/log/stdout" 2>&1 &
cupsd_pid=$!
pids+=("$cupsd_pid")
export CUPS_SERVER="$cups/cups.sock"
# lpstat -r succeeds even while the scheduler is not yet listening: read what it says.
wait_for 20 sh -c 'lpstat -r 2>/dev/null | grep -q "is running"' || {
    sed 's/^/    cupsd: /' "$cups/log/stdout" "$cups/log/error_log" 2>/dev/null | tail -20
    fail "cupsd did not start"
}
add_queue() { timeout 10 lpadmin -p "$queue" -E -v "quorvelcopy:$cups/jobs" -m raw; }
wait_for 20 add_queue || {
    add_queue 2>&1 | sed 's/^/    lpadmin: /'
    fail "the queue could not be added"
}
timeout 20 lpadmin -d "$queue" || fail "the queue could not be made the default"
check "the queue accepts jobs" bash -c "lpstat -a '$queue' | grep -q accepting"

home="$work/home"
mkdir -p "$home"
catalogue_ini \
    -- Name=Notes Type=1 FileName=true 'Trigger=Never Shown Window 7f3a' \
    -- Name=Typing Type=2 HotKey=24692 FileName=Typing.dat \
    -- Name=Mail Type=4 HotKey=49236 FileName=Mail.key >"$home/macros.ini"
printf 'typing journal' >"$home/Typing.dat"
printf 'Dear <<ENTER>>' >"$home/Mail.key"

seed_default_folders "$home/macros.ini" "$home/Typing.dat" "$home/Mail.key"
with_default_folders "$bin/quorvel" >"$work/quorvel.log" 2>&1 &
quorvel=$!
pids+=("$quorvel")

timeout 90 /usr/bin/python3 -B "$here/printing.py" "$queue"
driver=$?
check "the print dialog was driven" test "$driver" -eq 0

job_done() { compgen -G "$cups/jobs/job-*.out" >/dev/null; }
wait_for 30 job_done
check "one job reached the backend" job_done
job=$(compgen -G "$cups/jobs/job-*.out" | head -n1)
if [ -n "$job" ]; then
    cp "$job" "$QUORVEL_ARTIFACTS/printed_list.pdf"
    check "the job's title is Quorvel" test "$(cat "${job%.out}.title")" = Quorvel
    expect "the job's words in order" 0 \
        "$(printf '%s\n' HOTKEY MACRO NAME _________________________________ \
            Shift+Ctrl+F5 Typing Ctrl+Alt+T Mail)" \
        -- bash -c "pdftotext -bbox '$job' - | sed -n 's/.*<word [^>]*>\\([^<]*\\)<\\/word>.*/\\1/p'"
fi
check "the program runs on after printing" kill -0 "$quorvel"

if [ "$failed" -ne 0 ]; then
    sed 's/^/    quorvel: /' "$work/quorvel.log" | grep -v 'XDG_RUNTIME_DIR' | tail -20
    sed 's/^/    cupsd: /' "$cups/log/error_log" 2>/dev/null | tail -20
fi
kill "$cupsd_pid" 2>/dev/null
timeout 10 tail --pid="$cupsd_pid" -f /dev/null
finish
