# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers of the whole-program test scripts, sourced by each of them (not a test itself).
# Gives: bin, src, work (a fresh folder) and pids (background processes), both cleaned up on
# exit; the counters passed and failed, kept by check and expect and reported by finish; the
# default folders of a fresh home (with_default_folders and the helpers beside it).
bin="${QUORVEL_BIN:?}"
src="${QUORVEL_SOURCE_DIR:-}"
if [ -n "$src" ] && [ -f "$src/scripts/lsan.supp" ]; then
    export LSAN_OPTIONS="suppressions=$src/scripts/lsan.supp:print_suppressions=0"
fi
work=$(mktemp -d)
pids=()
passed=0
failed=0

# Qt's Wayland platform leaves its own proxies at exit, and its GL driver leaks from a library
# unloaded before the leak report could name it: libwayland-client's leaks stay out of the
# sanitizer's report, and the windows run without GL (they need none). Call after work is set.
qt_on_wayland() {
    printf 'leak:libwayland-client.so\n' | cat "$src/scripts/lsan.supp" - >"$work/lsan.supp"
    export LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0"
    export QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none
}

cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The default folders of a new user: HOME a fresh folder, and neither QUORVEL_HOME nor any
# XDG_* variable, so the program picks ~/.config/quorvel and ~/.local/share/quorvel itself.
# The session bus and the accessibility bus are found without XDG_RUNTIME_DIR.
default_home="$work/default-home"
default_catalogue="$default_home/.config/quorvel/macros.ini"
default_data="$default_home/.local/share/quorvel"
mkdir -m 700 "$default_home"

with_default_folders() { # command...
    local -a unset=(-u QUORVEL_HOME)
    local name
    for name in $(compgen -e); do
        case $name in XDG_*) unset+=(-u "$name") ;; esac
    done
    # In a subshell, a background job's, so that $! is the program's process.
    [ "$BASHPID" = "$$" ] || exec env "${unset[@]}" HOME="$default_home" "$@"
    env "${unset[@]}" HOME="$default_home" "$@"
}

# Puts a catalogue and its data files where the default folders keep them.
seed_default_folders() { # catalogue, data files...
    mkdir -p "${default_catalogue%/*}" "$default_data"
    cp "$1" "$default_catalogue"
    shift
    [ $# -eq 0 ] || cp "$@" "$default_data/"
}

# Whether the program made both default folders for the user alone (0700) and wrote every
# file in them so (0600); prints what is not.
default_folders_private() {
    local folder found=0 entry
    for folder in "${default_catalogue%/*}" "$default_data"; do
        [ -d "$folder" ] || { echo "    missing: $folder"; found=1; continue; }
        while IFS= read -r entry; do
            echo "    $entry"
            found=1
        done < <(find "$folder" \( -type d ! -perm 700 -o ! -type d ! -perm 600 \) \
            -printf '%m %p\n')
    done
    return $found
}

# Prints a catalogue: catalogue_ini [MAIN_KEY=VALUE...] -- KEY=VALUE... [-- KEY=VALUE...]...
# gives [Main] with Entries (the number of records) and the main keys, then a [MacroN]
# section for the keys after each --.
catalogue_ini() {
    local arg entries=0 n=0
    for arg; do [ "$arg" = -- ] && entries=$((entries + 1)); done
    printf '[Main]\nEntries=%d\n' "$entries"
    for arg; do
        if [ "$arg" = -- ]; then
            n=$((n + 1))
            printf '[Macro%d]\n' "$n"
        else
            printf '%s\n' "$arg"
        fi
    done
}

# Ends the script at the first failure.
fail() { echo "FAIL: $*" >&2; exit 1; }

check() { # name, then a command that must succeed
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $name"
    else
        failed=$((failed + 1))
        echo "FAIL: $name"
    fi
}

expect() { # name, status, expected output, --, command...
    local name=$1 want_status=$2 want=$3
    shift 4
    local got status
    got=$("$@" 2>"$work/stderr")
    status=$?
    if [ "$got" != "$want" ] || [ "$status" != "$want_status" ]; then
        failed=$((failed + 1))
        echo "FAIL: $name (status $status, wanted $want_status)"
        diff <(printf '%s\n' "$want") <(printf '%s\n' "$got") | sed 's/^/    /'
        sed 's/^/    stderr: /' "$work/stderr"
    else
        passed=$((passed + 1))
        echo "ok: $name"
    fi
}

# The summary line; fails when any check or expectation did.
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

wait_for() { # seconds, command
    local until=$((SECONDS + $1))
    shift
    while [ $SECONDS -lt $until ]; do
        "$@" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

window_of() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
activate() { xdotool windowactivate --sync "$(window_of "$1")" 2>/dev/null; }
content_is() { [ "$(cat "$1" 2>/dev/null)" = "$2" ]; }

# An xterm whose keyboard input goes to FILE, with the given title.
start_target() { # title, file
    xterm -T "$1" -geometry 80x10 -e sh -c "stty -echo; cat > '$2'" &
    pids+=($!)
    wait_for 10 window_of "$1" >/dev/null
}

# Starts the program on a catalogue folder whose record with the trigger "probe-<folder
# name>" touches <folder>/ready; returns once that trigger has fired, so hot keys are bound
# and the scan runs.
start_quorvel() { # folder
    QUORVEL_HOME="$1" "$bin/quorvel" &
    pids+=($!)
    xterm -T "probe-$(basename "$1")" -e sleep 60 &
    pids+=($!)
    wait_for 20 test -e "$1/ready"
}

# For scripts that drive windows over the accessibility bus: checks pyatspi and exports the
# folder screenshots go to.
prepare_accessibility() {
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
        || fail "Debian's python3 has no pyatspi (scripts/deps.sh installs python3-pyatspi)"
    local artifacts=${QUORVEL_ARTIFACTS:-${QUORVEL_TEST_BIN:+$QUORVEL_TEST_BIN/../artifacts}}
    QUORVEL_ARTIFACTS=$(realpath -m "${artifacts:-build/test/artifacts}")
    export QUORVEL_ARTIFACTS
    mkdir -p "$QUORVEL_ARTIFACTS"
}

# Runs a python driver from this folder against the running program (pid in $quorvel); the
# program must outlive it. On trouble the program's log (and the catalogue, if given) is shown.
# shellcheck disable=SC2154 # here and quorvel are the sourcing script's
run_driver() { # seconds, driver file, [catalogue], -- driver arguments...
    local seconds=$1 driver=$2 catalogue=
    shift 2
    if [ "$1" != -- ]; then catalogue=$1; shift; fi
    shift
    # -B: no byte code left in the source tree.
    timeout "$seconds" /usr/bin/python3 -B "$here/$driver" "$@"
    local status=$?
    check "the driver's checks" test "$status" -eq 0
    check "the program runs on" kill -0 "$quorvel"
    if [ "$status" -ne 0 ] || ! kill -0 "$quorvel" 2>/dev/null; then
        sed 's/^/    quorvel: /' "$work/quorvel.log" | grep -v 'XDG_RUNTIME_DIR' | tail -30
        [ -n "$catalogue" ] && sed 's/^/    macros.ini: /' "$catalogue" 2>/dev/null
    fi
    return 0
}

# An XEmbed tray (trayer) at the top right of the screen, stopped with the script.
start_tray() {
    trayer --edge top --align right --widthtype pixel --width 120 --height 32 \
        --SetDockType true --transparent false >"$work/trayer.log" 2>&1 &
    pids+=($!)
    wait_for 10 sh -c 'xdotool search --classname trayer >/dev/null' || fail "trayer did not start"
}
