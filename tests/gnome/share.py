#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Answers GNOME's "Remote desktop" dialog as a person would: waits for the portal's window
over the accessibility bus, ticks "Allow remote interaction" (its "Share" button is off until
then) and presses "Share". Exit status 0 once pressed, 1 when that could not be done in time.
With "shown" it only waits for the dialog, with "gone" for it to go.

GNOME 48's box offers no action, and the test's own remote-desktop pointer clicks nothing there:
the person clicks with the pointer of Quorvel's extension, turned on for that (the program's
route was chosen as it started), where the shell's own accessible windows say the dialog is
(GTK 4 tells positions only within its window).

Usage: share.py [SECONDS [shown|gone]]"""

import os
import subprocess
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import pyatspi  # noqa: E402
from atspi_lib import (  # noqa: E402
    E2EError, applications, descendants, explain_dialog, extents, find_all, find_window_with,
    has_state, name, press, role, top_levels, wait_for_app, wait_until,
)


SHELL = ("example.ostrin.Quorvel.Shell", "/example/ostrin/Quorvel/Shell",
         "example.ostrin.Quorvel.Shell1")


def shell_app():
    return next((a for a in applications() if name(a) == "gnome-shell"), None)


def screen_origin(dialog):
    """The dialog's top left corner on the screen: the shell's window of its size, with the
    shadows around it."""
    _, _, width, height = extents(dialog, pyatspi.WINDOW_COORDS)
    for w in descendants(shell_app()):
        if role(w) == "panel" and name(w) == "Wayland window":
            x, y, outer_w, outer_h = extents(w)
            if outer_w >= width and abs((outer_w - width) - (outer_h - height)) <= 2:
                return x + (outer_w - width) // 2, y + (outer_h - height) // 2
    return None


def shell_call(method, signature=None, *args):
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync(SHELL[0], SHELL[1], SHELL[2], method,
                  GLib.Variant(signature, args) if signature else None, None,
                  Gio.DBusCallFlags.NONE, 5000, None)


def click(dialog, acc, at_right=False):
    left, top = wait_until(lambda: screen_origin(dialog), "the dialog on the screen", 10)
    x, y, w, h = extents(acc, pyatspi.WINDOW_COORDS)
    # A switch row's switch sits at its right end.
    shell_call("PointerMove", "(dd)", float(left + x + (w - 37 if at_right else w // 2)),
               float(top + y + h // 2))
    for pressed in (True, False):
        shell_call("PointerButton", "(ub)", 1, pressed)


def tick(dialog, box):
    try:
        press(box)
        return False
    except E2EError:
        pass
    subprocess.run(["gsettings", "set", "org.gnome.shell", "enabled-extensions",
                    "['quorvel@ostrin.example']"], check=True)
    wait_until(lambda: shell_call("Layout") is None, "the extension to start", 10)
    click(dialog, box, at_right=True)
    wait_until(lambda: has_state(box, pyatspi.STATE_CHECKED), "the box to be ticked", 5)
    return True


def is_dialog(window):
    # GNOME 43 names it "Remote desktop", GNOME 48 "Remote Desktop".
    return role(window) == "frame" and name(window).lower() == "remote desktop"


def main():
    timeout = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    mode = sys.argv[2] if len(sys.argv) > 2 else "answer"
    dialog = None
    try:
        app = wait_for_app("xdg-desktop-portal-gnome", timeout=timeout)
        if mode == "gone":
            wait_until(lambda: not any(is_dialog(w) for w in top_levels(app)),
                       "the dialog to go", timeout)
            return 0
        dialog, _ = find_window_with(app, is_dialog, "the Remote desktop dialog", timeout)
        if mode == "shown":
            return 0
        # GNOME 48 writes it "Allow Remote Interaction".
        box = wait_until(lambda: next(
            (b for b in find_all(dialog, "check box")
             if name(b).lower() == "allow remote interaction"), None),
            "the Allow remote interaction box", timeout)
        clicking = tick(dialog, box)
        # GTK names it by its mnemonic and its label, "_Share Share", and says only sensitive.
        share = wait_until(lambda: next(
            (b for b in descendants(dialog, 30) if role(b) != "label"
             and name(b).split()[-1:] == ["Share"] and has_state(b, pyatspi.STATE_SENSITIVE)),
            None), "the Share button to be on", timeout)
        if clicking:
            click(dialog, share)
        else:
            press(share)
    except E2EError as e:
        explain_dialog("share.py", e, dialog)
        return 1
    print("shared")
    return 0


if __name__ == "__main__":
    sys.exit(main())
