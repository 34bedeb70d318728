#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a private headless KWin (KDE Plasma's compositor, its virtual backend) with
# a session bus of its own, and stops both afterwards; the command's exit status is returned.
# The desktop portals (xdg-desktop-portal and its KDE backend) are started by that bus when
# first asked, as in a Plasma session. The command sees WAYLAND_DISPLAY, XDG_CURRENT_DESKTOP=KDE,
# DBUS_SESSION_BUS_ADDRESS and its own XDG_RUNTIME_DIR, and no DISPLAY.
# A person's keyboard, a RemoteDesktop session apart from Quorvel's, presses the evdev chords
# written as lines to the FIFO $QUORVEL_PERSON_KEYS (see scripts/portal-keyboard.py); its
# answers go to $QUORVEL_PERSON_KEYS.log.
# The programs named in $QUORVEL_KWIN_INPUT may use KWin's own input protocol, as an installed
# Quorvel may.
# Run as root, this makes (once) the unprivileged user $QUORVEL_TEST_USER (default
# quorvel-test) and runs KWin and the command as that user, as scripts/with-sway.sh does.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ "${1:-}" = "--inside-session" ]; then
    # On the private bus, as the user.
    shift
    workdir=$1
    shift
    # KWin 6 gives its restricted globals only to the programs its application menu lists, and
    # without Plasma there is no menu.
    if [ ! -e "$XDG_CONFIG_HOME/menus/applications.menu" ]; then
        mkdir -p "$XDG_CONFIG_HOME/menus"
        cat >"$XDG_CONFIG_HOME/menus/applications.menu" <<'EOF'
<Menu><Name>Applications</Name><DefaultAppDirs/><DefaultDirectoryDirs/>
<Include><All/></Include></Menu>
EOF
    fi
    # KWin lets a program use its own input protocol when a desktop entry names it by its
    # path, as the package's entry names /usr/bin/quorvel: the programs of $QUORVEL_KWIN_INPUT
    # (colon-separated) get such entries, before KWin reads them.
    if [ -n "${QUORVEL_KWIN_INPUT:-}" ]; then
        mkdir -p "$XDG_DATA_HOME/applications"
        IFS=: read -ra programs <<<"$QUORVEL_KWIN_INPUT"
        for i in "${!programs[@]}"; do
            printf '[Desktop Entry]\nType=Application\nName=Input test %d\nExec=%s\n%s\n' \
                "$i" "$(readlink -f "${programs[$i]}")" \
                X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input \
                >"$XDG_DATA_HOME/applications/quorvel-input-$i.desktop"
        done
    fi
    # KWin 6 offers its screencast global, without which its RemoteDesktop portal opens no
    # session, only when it reaches PipeWire at start.
    pipewire_pid=
    if command -v pipewire >/dev/null; then
        pipewire >"$workdir/pipewire.log" 2>&1 &
        pipewire_pid=$!
        for _ in $(seq 1 100); do
            [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
            sleep 0.05
        done
    fi
    # KWin 6 crashes in Qt's own KDE theme, picked by KDE_FULL_SESSION and KDE_SESSION_VERSION
    # where Plasma's is not installed.
    QT_QPA_PLATFORMTHEME=generic "$workdir/bin/kwin_wayland" --virtual --width 1280 --height 800 \
        --no-lockscreen \
        >"$workdir/kwin.log" 2>&1 &
    kwin_pid=$!
    person_pid=
    # shellcheck disable=SC2317 # run by the trap
    stop() {
        [ -z "$person_pid" ] || kill "$person_pid" 2>/dev/null || true
        kill "$kwin_pid" 2>/dev/null || true
        wait "$kwin_pid" 2>/dev/null || true
        [ -z "$pipewire_pid" ] || kill "$pipewire_pid" 2>/dev/null || true
    }
    trap stop EXIT
    for _ in $(seq 1 200); do
        [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
        kill -0 "$kwin_pid" 2>/dev/null || break
        sleep 0.05
    done
    if [ ! -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] \
        || ! gdbus wait --session --timeout 20 org.kde.KWin; then
        echo "with-kwin: KWin did not start" >&2
        cat "$workdir/kwin.log" >&2
        exit 1
    fi
    # Plasma 6 asks before any RemoteDesktop session, even an unsandboxed caller's, with a
    # dialog nobody can answer headless: granted beforehand, as "always allow" would.
    gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
        --object-path /org/freedesktop/impl/portal/PermissionStore \
        --method org.freedesktop.impl.portal.PermissionStore.SetPermission \
        kde-authorized true remote-desktop "" "['yes']" >/dev/null
    # A desktop always has a keyboard: without one, clients ask for theirs only when the first
    # appears, and the first keys typed reach nobody.
    export QUORVEL_PERSON_KEYS=$workdir/person-keys
    mkfifo "$QUORVEL_PERSON_KEYS"
    /usr/bin/python3 "$here/portal-keyboard.py" "$QUORVEL_PERSON_KEYS" \
        >"$QUORVEL_PERSON_KEYS.log" 2>&1 &
    person_pid=$!
    for _ in $(seq 1 200); do
        grep -q '^ready' "$QUORVEL_PERSON_KEYS.log" 2>/dev/null && break
        kill -0 "$person_pid" 2>/dev/null || break
        sleep 0.05
    done
    if ! grep -q '^ready' "$QUORVEL_PERSON_KEYS.log"; then
        echo "with-kwin: the person's keyboard did not start" >&2
        cat "$QUORVEL_PERSON_KEYS.log" >&2
        exit 1
    fi
    set +e
    "$@"
    exit $?
fi

# shellcheck source=scripts/private-session.bash
source "$here/private-session.bash"

# The packaged binary carries a file capability this sandbox refuses; a copy has none. It must
# keep its name, or KWin refuses its own built-in Qt platform plugin.
# The user's own folder, for the copy and the logs.
kwin_dir=$workdir/kwin
mkdir -p "$kwin_dir/bin"
cp /usr/bin/kwin_wayland "$kwin_dir/bin/kwin_wayland"
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:" "$kwin_dir"

# Set before the bus starts: the portals it starts inherit them.
export WAYLAND_DISPLAY=wayland-0 XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland \
    QT_QPA_PLATFORM=wayland KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
set +e
"${as_user[@]}" dbus-run-session -- bash "$here/with-kwin.sh" --inside-session "$kwin_dir" "$@"
status=$?
exit $status
