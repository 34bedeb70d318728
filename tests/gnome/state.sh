#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the GNOME backend makes of its extension's state, and the step it names. With
# EXTENSION_DIR the extension is installed only now, after the shell has started, as a package
# installed during a session does.
# Usage (under scripts/with-gnome.sh): state.sh GNOME_DRIVER EXPECTED [EXTENSION_DIR]
set -uo pipefail
driver=${1:?usage: state.sh GNOME_DRIVER EXPECTED [EXTENSION_DIR]}
expected=${2:?usage: state.sh GNOME_DRIVER EXPECTED [EXTENSION_DIR]}
source "$(dirname "$0")/lib.bash"
if [ -n "${3:-}" ]; then
    mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
    cp -r "$3" "$XDG_DATA_HOME/gnome-shell/extensions/"
fi
answer=$("$driver" state)
expect "the state" "$expected" "$(head -n1 <<<"$answer")"
case $expected in
running) expect "no step to take" "" "$(tail -n +2 <<<"$answer")" ;;
*) expect "the step named" 1 "$(grep -c 'gnome-extensions enable quorvel@ostrin.example' <<<"$answer")" ;;
esac
[ "$expected" != "not loaded" ] || expect "the log-in named" 1 "$(grep -c 'log' <<<"$answer")"
exit $failed
