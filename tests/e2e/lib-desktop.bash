# SPDX-License-Identifier: GPL-3.0-or-later
# A private desktop for the whole-program tests that drive quorvel over the accessibility
# bus, sourced by them (not a test itself). desktop_run CMD... runs CMD with DISPLAY on a
# fresh Xvfb, openbox managing it, inside its own D-Bus session with Qt's accessibility
# bridge on, and returns CMD's status. Everything it started is stopped afterwards.

desktop_run() {
    local dir display status xvfb wm
    dir=$(mktemp -d)

    exec 3>"$dir/displayfd"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
    xvfb=$!
    exec 3>&-
    for _ in $(seq 1 100); do
        [ -s "$dir/displayfd" ] && break
        sleep 0.05
    done
    display=$(head -n1 "$dir/displayfd" | tr -d '[:space:]')
    if [ -z "$display" ]; then
        echo "desktop: Xvfb did not start" >&2
        cat "$dir/xvfb.log" >&2
        kill "$xvfb" 2>/dev/null
        rm -rf "$dir"
        return 1
    fi
    # The accessibility bus is found through the session bus and the display, so the
    # display must be known before the session starts.
    export DISPLAY=":$display"

    # openbox's own defaults bind Alt+F4, Alt+Tab and clicks on windows; none of them may
    # take an event meant for the program. A press only focuses and raises, and is replayed.
    cat >"$dir/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy><center>yes</center></placement>
  <desktops><number>1</number></desktops>
  <keyboard></keyboard>
  <mouse>
    <context name="Client">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Right" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
  </mouse>
</openbox_config>
XML
    openbox --sm-disable --config-file "$dir/rc.xml" >"$dir/openbox.log" 2>&1 &
    wm=$!
    for _ in $(seq 1 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done

    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QUORVEL_DESKTOP="$DISPLAY" NO_AT_BRIDGE=0 \
        dbus-run-session -- "$@"
    status=$?

    kill "$wm" "$xvfb" 2>/dev/null
    wait "$wm" "$xvfb" 2>/dev/null
    rm -rf "$dir"
    return $status
}

# Runs the calling script again on a private desktop and ends with its status, unless the
# script already runs on one.
on_private_desktop() { # the script's arguments
    [ -n "${QUORVEL_DESKTOP:-}" ] && return 0
    desktop_run bash "$0" "$@"
    exit $?
}
