#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Answers the "Add Keyboard Shortcuts" dialog of GNOME's GlobalShortcuts portal (GNOME 48) as
a person would: waits for it over the accessibility bus, prints the shortcuts it lists and
presses "Add" (or "Cancel"). Exit status 0 once pressed, 1 when that could not be done in time.
With "shown" it only waits for the dialog, with "gone" for it to go; with "none" it succeeds
only if no such dialog shows for SECONDS.

Usage: shortcuts.py [SECONDS [add|cancel|shown|gone|none]]"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from atspi_lib import (  # noqa: E402
    E2EError, applications, descendants, explain_dialog, find_window_with, name, press, role,
    showing, top_levels, wait_for_app, wait_until,
)

PROVIDER = "gnome-control-center-global-shortcuts-provider"
TITLE = "Add Keyboard Shortcuts"


def is_dialog(window):
    return role(window) == "frame" and name(window) == TITLE


def dialog_showing():
    return any(name(app) == PROVIDER and any(is_dialog(w) and showing(w) for w in top_levels(app))
               for app in applications())


def none_shows(seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if dialog_showing():
            print("shortcuts.py: the dialog came up", file=sys.stderr)
            return 1
        time.sleep(0.2)
    return 0


def main():
    timeout = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    answer = sys.argv[2] if len(sys.argv) > 2 else "add"
    if answer == "none":
        return none_shows(timeout)
    button = "Add" if answer == "add" else "Cancel"
    dialog = None
    try:
        if answer == "gone":
            wait_until(lambda: not dialog_showing(), "the dialog to go", timeout)
            return 0
        app = wait_for_app(PROVIDER, timeout=timeout)
        dialog, _ = find_window_with(app, is_dialog, "the %s dialog" % TITLE, timeout)
        if answer == "shown":
            return 0
        for item in descendants(dialog, 30):
            if role(item) == "list item":
                print("listed: %s" % name(item))
        press(wait_until(lambda: next(
            (b for b in descendants(dialog, 30) if role(b) == "push button"
             and name(b) == button), None), "the %s button" % button, timeout))
    except E2EError as e:
        explain_dialog("shortcuts.py", e, dialog)
        return 1
    print("pressed %s" % button)
    return 0


if __name__ == "__main__":
    sys.exit(main())
