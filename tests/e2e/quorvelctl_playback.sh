#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# quorvelctl from outside: keys, trace and list print their fixed formats, with no display.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.bash"
unset DISPLAY
ctl="$bin/quorvelctl"

expect "keys: shift, pending modifier across strings, failure" 1 "$(cat <<'OUT'
down 10
down 41
up 41
up 10
= 0
= 0
error: Invalid token
down 12
down 11
down 42
up 42
up 11
up 12
= 0
= -1
OUT
)" -- "$ctl" keys "A" "^" "@{F13}" "b" ""

expect "keys: layout, control characters and characters without a key" 0 "$(cat <<'OUT'
down 10
down DE
up DE
up 10
down 11
down 0D
up 0D
up 11
down 09
up 09
char U+00E9
= 0
OUT
)" -- "$ctl" keys $'"\n\t\xc3\xa9'

expect "keys: --tokens-only types the modifier characters" 0 "$(cat <<'OUT'
down 10
down 36
up 36
up 10
down 70
up 70
= 0
OUT
)" -- "$ctl" keys --tokens-only "^{F1}"

expect "keys: unclosed brace" 1 "$(cat <<'OUT'
down 58
up 58
error: No Closing brackets
OUT
)" -- "$ctl" keys "x{F1"

catalogue_ini 'WaitForSeparator=##' \
    -- Name=Greet Type=4 HotKey=49217 FileName=Greet.key \
    -- Name=Replay Type=3 FileName=Replay.dat Speed=2 \
    -- Name=greet Type=1 'FileName=/usr/bin/editor~~notes.txt~~/tmp' 'Trigger=Untitled - Notes' \
    -- Name=Keys Type=2 FileName=Keys.dat \
    -- Name=Self Type=4 FileName=Self.key >"$work/macros.ini"
printf 'h<<ENTER>>\r\n' >"$work/Greet.key"
printf 'x<<RUN:self>>' >"$work/Self.key"
cat >"$work/main.key" <<'KEY'
<<SECS2>><<mins1>><<INPUT:Who?>><<WRITEVALUE>>
<<RUN:GREET>><<RUN:replay>><<RUN:Keys>>
<<LOOKFOR:Calc##SECS:3>><<LOOKFOR:calc##MINS:2>><<LOOKFOR:Notes##MINS:1>>
<<FOCUS:Notes>><<FOCUS:Calc>><<EXECUTE:report.txt~~~~>>
KEY

expect "trace: every command and platform effect" 0 "$(cat <<'OUT'
wait 2 s
wait 1 min
prompt Who?
down 10
down 4A
up 4A
up 10
down 4F
up 4F
down 0D
up 0D
down 11
down 0D
up 0D
up 11
run 1
down 48
up 48
down 0D
up 0D
status NoRecord
run 3
launch /usr/bin/editor|notes.txt|/tmp
status NoRecord
run 2
replay Replay.dat fast
status True
run 4
replay Keys.dat fast
status True
down 0D
up 0D
down 11
down 0D
up 0D
up 11
lookfor Calc 3 timeout
lookfor calc 120 timeout
lookfor Notes 60 found
down 0D
up 0D
down 11
down 0D
up 0D
up 11
focus Notes found
focus Calc none
launch report.txt||
status NoRecord
OUT
)" -- "$ctl" trace --catalogue "$work/macros.ini" --answer Jo --answer unused \
    --window "  notes " --window "NOTES" --window "Calculator" "$work/main.key"

printf '<<INPUT:A>><<INPUT:B>>' >"$work/prompts.key"
expect "trace: prompts without answers get empty ones" 0 "$(cat <<'OUT'
prompt A
prompt B
status NoRecord
OUT
)" -- "$ctl" trace --catalogue "$work/macros.ini" "$work/prompts.key"

# The present date, typed as the locale writes it with the year in full, as the program does.
printf '<<SHORTDATE>>|<<LONGDATE>>' >"$work/date.key"
today=$(LC_ALL=C date '+%m/%d/%Y|%A, %B %-d, %Y')
expect "trace: the present date in the locale's forms" 0 \
    "$("$ctl" keys "$today" | sed '$d')"$'\nstatus NoRecord' \
    -- env LC_ALL=C "$ctl" trace --catalogue "$work/macros.ini" "$work/date.key"

printf 'a<<RUN:Self>>' >"$work/recursive.key"
want_self="$(printf 'down 41\nup 41\n'; for _ in $(seq 16); do printf 'run 5\ndown 58\nup 58\n'; done; printf 'error: Macro nesting is too deep (self)')"
expect "trace: a macro that runs itself stops at the nesting limit" 1 "$want_self" \
    -- "$ctl" trace --catalogue "$work/macros.ini" "$work/recursive.key"

expect "trace: missing file" 1 "error: Cannot open file $work/none.key" \
    -- "$ctl" trace --catalogue "$work/macros.ini" "$work/none.key"

printf 'ab<<SECSx>>cd' >"$work/bad.key"
expect "trace: bad number ends the run without a status" 1 "$(cat <<'OUT'
down 41
up 41
down 42
up 42
error: 'x' is not a valid integer value
OUT
)" -- "$ctl" trace --catalogue "$work/macros.ini" "$work/bad.key"

rows="$(printf '1\tGreet\tCtrl+Alt+A\t\n2\tReplay\t\t\n0\tgreet\t\tUntitled - Notes\n1\tKeys\t\t\n1\tSelf\t\t')"
expect "list: rows of the macro list" 0 "$rows" -- "$ctl" list --catalogue "$work/macros.ini"
seed_default_folders "$work/macros.ini"
expect "list: the user's catalogue in the default folders" 0 "$rows" -- with_default_folders "$ctl" list

expect "list: the user's catalogue from QUORVEL_HOME" 0 "$(printf '1\tGreet\tCtrl+Alt+A\t')" \
    -- env QUORVEL_HOME="$work/home" bash -c "mkdir -p '$work/home' && printf '[Main]\nEntries=1\n[Macro1]\nName=Greet\nType=4\nHotKey=49217\n' >'$work/home/macros.ini' && exec '$ctl' list"

printf '[Main]\nEntries=3\n[Macro1]\nName=Semi\nType=4\nHotKey=16570\n[Macro2]\nName=Slash\nType=4\nHotKey=41151\n[Macro3]\nName=Back\nType=4\nHotKey=16604\n' >"$work/oem.ini"
expect "list: punctuation keys named as on a US keyboard without a display" 0 "$(printf '1\tSemi\tCtrl+;\t\n1\tSlash\tShift+Alt+/\t\n1\tBack\tCtrl+\\\t')" \
    -- "$ctl" list --catalogue "$work/oem.ini"

for command in keys trace list; do
    if ! "$ctl" "$command" --help | grep -q "^Usage: quorvelctl $command"; then
        echo "FAIL: $command --help"
        failed=$((failed + 1))
    fi
done
for command in keys trace; do
    "$ctl" "$command" >/dev/null 2>&1
    if [ $? != 2 ]; then
        echo "FAIL: $command without arguments is no usage error"
        failed=$((failed + 1))
    fi
done

finish
