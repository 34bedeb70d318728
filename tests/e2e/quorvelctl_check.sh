#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# quorvelctl check from outside: one line per finding, and the exit status says what it found.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
unset DISPLAY
ctl="$bin/quorvelctl"

catalogue_ini 'WaitForSeparator=##' \
    -- Name=Greet Type=4 FileName=Greet.key \
    -- Name=Ping Type=4 FileName=Ping.key \
    -- Name=Pong Type=4 FileName=Pong.key \
    -- Name=Lost Type=4 FileName=Lost.key >"$work/macros.ini"
printf 'Hello<<ENTER>>\r\n<<LOOKFOR:Calc##SECS:5>>\r\n' >"$work/Greet.key"
printf 'x<<RUN:pong>>' >"$work/Ping.key"
printf '<<RUN:PING>>\r\n<<FOO>>' >"$work/Pong.key"

expect "a clean macro: nothing printed, status 0" 0 "" \
    -- "$ctl" check --catalogue "$work/macros.ini" "$work/Greet.key"

printf 'ab<<SECSx>>\n<<ctrl>><<secs1>>\n<<RUN:Nobody>><<RUN:greet>>\n<<ENDREP>>\n<<REP2>>a' >"$work/bad.key"
expect "findings: FILE:LINE:COLUMN: kind: message, status 1" 1 "$(cat <<OUT
$work/bad.key:1:9: bad-count: the time "x" is not a whole number: the run stops with "'x' is not a valid integer value"
$work/bad.key:2:1: modifier-command: "<<ctrl>>" combines only with a key: the run drops the "<<" of "<<secs" and types the rest
$work/bad.key:3:1: unknown-macro: no macro is named "Nobody": "<<RUN:" runs nothing
$work/bad.key:4:1: stray-endrep: "<<ENDREP>>" ends no repeat: the run types "ENDREP>>"
$work/bad.key:5:1: unclosed-repeat: "<<REP" without "<<ENDREP>>" repeats nothing: the run drops "2>>a"
OUT
)" -- "$ctl" check --catalogue "$work/macros.ini" "$work/bad.key"

catalogue_findings="$(cat <<OUT
$work/Ping.key:1:2: run-cycle: runs come back round: "Pong" runs "Ping" runs "Pong"; the run stops at the nesting limit with "Macro nesting is too deep"
$work/Pong.key:1:1: run-cycle: runs come back round: "Ping" runs "Pong" runs "Ping"; the run stops at the nesting limit with "Macro nesting is too deep"
$work/Pong.key:2:1: unknown-token: unknown token "<<FOO>>": the run drops "<<" and types "FOO>>"
OUT
)"
expect "every advanced macro of a catalogue; an unreadable one makes the status 2" 2 \
    "$catalogue_findings" -- "$ctl" check --catalogue "$work/macros.ini"
check "the unreadable macro is named on stderr" grep -q "Cannot open file $work/Lost.key" "$work/stderr"
printf 'x' >"$work/Lost.key"
expect "every advanced macro of a catalogue, all readable: status 1" 1 "$catalogue_findings" \
    -- "$ctl" check --catalogue "$work/macros.ini"

printf 'x<<RUN:Nobody>>' >"$work/run.key"
expect "run names are not looked up without a catalogue" 0 "" \
    -- env QUORVEL_HOME="$work/none" "$ctl" check "$work/run.key"
expect "the user's catalogue by default" 1 \
    "$work/run.key:1:2: unknown-macro: no macro is named \"Nobody\": \"<<RUN:\" runs nothing" \
    -- env QUORVEL_HOME="$work" "$ctl" check "$work/run.key"
seed_default_folders "$work/macros.ini"
expect "the default folders' catalogue" 1 \
    "$work/run.key:1:2: unknown-macro: no macro is named \"Nobody\": \"<<RUN:\" runs nothing" \
    -- with_default_folders "$ctl" check "$work/run.key"
catalogue_ini \
    -- Name=Mail Type=1 HotKey=49229 'FileName=true~~~~' \
    -- Name=Mail2 Type=1 HotKey=49229 'FileName=true~~~~' \
    -- Name=Stopper Type=1 HotKey=24699 'FileName=true~~~~' >"$work/hotkeys.ini"
expect "a catalogue's hot keys that start nothing: a shared key and the stop key" 1 "$(cat <<OUT
$work/hotkeys.ini: hot-key: Mail2 (macro 2): Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps it.
$work/hotkeys.ini: hot-key: Stopper (macro 3): Shift+Ctrl+F12 stops a recording; given to a macro, it starts the macro instead and stops no recording.
OUT
)" -- "$ctl" check --catalogue "$work/hotkeys.ini"
# Files copied from a system that ignores letter case: runs read them, and check says so.
mkdir -p "$work/cased"
catalogue_ini \
    -- Name=Mail Type=4 FileName=Mail.key \
    -- Name=Steps Type=2 FileName=steps.dat \
    -- Name=Exact Type=4 FileName=Exact.key >"$work/cased/macros.ini"
printf '<<FOO>>' >"$work/cased/MAIL.KEY"
printf '' >"$work/cased/Steps.DAT"
printf 'x' >"$work/cased/Exact.key"
expect "records whose file is found only by ignoring letter case" 1 "$(cat <<OUT
$work/cased/MAIL.KEY:1:1: unknown-token: unknown token "<<FOO>>": the run drops "<<" and types "FOO>>"
$work/cased/macros.ini: letter-case: Mail (macro 1): its file Mail.key is missing; runs read MAIL.KEY, whose name differs only in letter case.
$work/cased/macros.ini: letter-case: Steps (macro 2): its file steps.dat is missing; runs read Steps.DAT, whose name differs only in letter case.
OUT
)" -- "$ctl" check --catalogue "$work/cased/macros.ini"
expect "a missing macro file" 2 "" -- "$ctl" check --catalogue "$work/macros.ini" "$work/none.key"
expect "a missing catalogue" 2 "" -- "$ctl" check --catalogue "$work/none.ini"
expect "no FILE" 2 "" -- "$ctl" check
expect "an unknown option" 2 "" -- "$ctl" check --fast "$work/Greet.key"
check "check --help" bash -c "'$ctl' check --help | grep -q '^Usage: quorvelctl check'"

finish
