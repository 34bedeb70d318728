# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers of the Wayland scripts, sourced by each (not a test itself); they run under
# scripts/with-sway.sh. Gives: work (a fresh folder, removed on exit), the texts the tests and
# the benchmark type, and foot running `cat > FILE` as the target.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
foot_pid=""
# shellcheck disable=SC2317 # run by the trap
wayland_cleanup() {
    if [ -n "$foot_pid" ]; then kill "$foot_pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap wayland_cleanup EXIT

# A recording in the journal's format.
journal() { # file keys-only events...
    local file=$1 keys_only=$2
    shift 2
    {
        printf 'QUORVEL-JOURNAL\nversion 1\nkeys-only %d\n' "$keys_only"
        printf '%s\n' "$@"
        printf 'end %d\n' $#
    } >"$file"
}
# Enter and Ctrl+D, which end `cat > FILE`.
enter_ctrl_d=('0 K+ 36 0xff0d' '0 K- 36 0xff0d' '0 K+ 37 0xffe3' '0 K+ 40 0x64' '0 K- 40 0x64'
    '0 K- 37 0xffe3')

# The replay tests' recordings, into the folder: held.dat holds Shift for 5 seconds around an
# "a"; keys.dat has "b" recorded on the keycode of "u", "ä" on that of "'", "!" unshifted as
# on a French layout, then "n" by its keycode alone, 0.8 seconds in all, and ends the line;
# escape.dat has "a", Esc, "b", and a "c" 3 seconds later.
replay_journals() { # folder
    journal "$1/held.dat" 1 '0 K+ 50 0xffe1' '0 K+ 38 0x61' '0 K- 38 0x61' '5000 K- 50 0xffe1'
    journal "$1/keys.dat" 1 '0 K+ 30 0x62' '0 K- 30 0x62' '400 K+ 48 0xe4' '0 K- 48 0xe4' \
        '400 K+ 61 0x21' '0 K- 61 0x21' '0 K+ 57 0x0' '0 K- 57 0x0' "${enter_ctrl_d[@]}"
    journal "$1/escape.dat" 1 '0 K+ 38 0x61' '0 K- 38 0x61' '0 K+ 9 0xff1b' '0 K- 9 0xff1b' \
        '0 K+ 56 0x62' '0 K- 56 0x62' '3000 K+ 54 0x63' '0 K- 54 0x63'
}

# The toolkit tests' end: the GTK target (zenity) prints its text once it ends, the Qt one
# (featherpad) saves it; the typed text must be $work/expected exactly. Exit status 0 when
# it is.
native_typed() { # gtk|qt app-pid [note]
    local target=$1 app=$2 note=${3:+ ($3)}
    # shellcheck disable=SC2317 # run by wait_until
    app_ended() { ! kill -0 "$app" 2>/dev/null; }
    if [ "$target" = gtk ]; then
        wait_until 150 app_ended
    else
        wait_until 150 cmp -s "$work/typed" "$work/expected"
    fi
    kill "$app" 2>/dev/null
    if cmp -s "$work/typed" "$work/expected"; then
        echo "ok $target$note"
    else
        echo "FAIL $target: typed text differs$note" >&2
        diff "$work/expected" "$work/typed" | head -10 >&2
        return 1
    fi
}

# A replay run's outcome: its exit status was 0, its ends ("done SECONDS" or "cancelled
# SECONDS", a line each) match the pattern, and the file holds the text; failed=1 if not.
# shellcheck disable=SC2034 # failed is the sourcing script's
replay_outcome() { # name text pattern ends status file
    local ends
    ends=$(grep -v '^ready$' <<<"$4" | tr '\n' ' ')
    echo "$1: $ends"
    if [ "$5" -ne 0 ] || ! [[ "$ends" =~ ^$3$ ]]; then
        echo "FAIL $1: the ends (status $5) do not match $3" >&2
        failed=1
    fi
    if [ "$(cat "$6")" != "$2" ]; then
        echo "FAIL $1: replayed [$(cat "$6")], expected [$2]" >&2
        failed=1
    fi
}

# Printable ASCII from "!", in lines of 50 (a terminal takes no line over 4,095 bytes; a
# macro's leading blank is not typed).
ascii_text() { # count
    python3 -c 'import sys
n = int(sys.argv[1])
s = "".join(chr(0x20 + (i + 1) % 95) for i in range(n))
print("\n".join(s[i:i + 50] for i in range(0, n, 50)), end="")' "$1"
}

# Distinct CJK ideographs, in lines of 40.
cjk_text() { # count
    python3 -c 'import sys
n = int(sys.argv[1])
s = "".join(chr(0x4E00 + i) for i in range(n))
print("\n".join(s[i:i + 40] for i in range(0, n, 40)), end="")' "$1"
}

# Whether a window of this title is there (and, being the newest, has the focus).
# The toolkit tests' text: ASCII, accented letters, CJK, other scripts and named keys. Writes
# the macro to $work/text.key and sets expected to what it types; suffix ends the scripts' line.
native_text() { # [suffix]
    local suffix=${1:-} i macro=""
    local pairs=(
        "$(ascii_text 300)" "$(ascii_text 300)"
        'café naïve Ærøskøbing ĉu ŝi Ünïcödé <<SHIFT>>é ǅ' 'café naïve Ærøskøbing ĉu ŝi Ünïcödé É ǅ'
        "$(cjk_text 300)" "$(cjk_text 300)"
        "Съешь → ∑ € © 東京 Ξεσκεπάζω$suffix" "Съешь → ∑ € © 東京 Ξεσκεπάζω$suffix"
        'abc<<BACKSPACE>>d<<TAB>>x' $'abd\tx'
        'world<<HOME>>hello <<END>>!' 'hello world!'
    )
    expected=""
    for ((i = 0; i < ${#pairs[@]}; i += 2)); do
        macro+="${macro:+<<ENTER>>}${pairs[i]//$'\n'/<<ENTER>>}"
        expected+="${expected:+$'\n'}${pairs[i + 1]}"
    done
    printf '%s' "$macro" >"$work/text.key"
}

has_window() { # title
    swaymsg -t get_tree | grep -qF "\"name\": \"$1\""
}

wait_until() { # tenths of a second, command...
    local tenths=$1
    shift
    for _ in $(seq 1 $((tenths * 4))); do
        "$@" && return 0
        sleep 0.025
    done
    return 1
}

# foot running `cat > FILE`, with the focus once this returns.
start_foot() { # title file [foot options...]
    foot --title="$1" "${@:3}" sh -c "cat > '$2'" 2>/dev/null &
    foot_pid=$!
    wait_until 100 has_window "$1" || { echo "foot did not appear" >&2; return 1; }
    # foot 1.13 crashes on a key that comes while it is still starting (in a round trip of
    # its start-up): keys go only once its shell runs `cat`, and a moment later.
    wait_until 100 test -e "$2" || { echo "foot did not start its shell" >&2; return 1; }
    sleep 0.3
}

foot_ended() {
    ! kill -0 "$foot_pid" 2>/dev/null
}

# Waits for foot to end (the text's last line done with Ctrl+D): its exit status, 255 when it
# did not end in time.
wait_for_foot() { # seconds
    wait_until $(($1 * 10)) foot_ended || return 255
    local status=0
    wait "$foot_pid" 2>/dev/null || status=$?
    foot_pid=""
    return $status
}
