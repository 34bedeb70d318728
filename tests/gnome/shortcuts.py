#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Answers the "Add Keyboard Shortcuts" dialog of GNOME's GlobalShortcuts portal (GNOME 48) as
a person would: waits for it over the accessibility bus, prints the shortcuts it lists and
presses "Add". Exit status 0 once pressed, 1 when that could not be done in time.

Usage: shortcuts.py [SECONDS]"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from atspi_lib import (  # noqa: E402
    E2EError, descendants, explain_dialog, find_window_with, name, press, role, wait_for_app,
    wait_until,
)

PROVIDER = "gnome-control-center-global-shortcuts-provider"


def main():
    timeout = float(sys.argv[1]) if len(sys.argv) > 1 else 30.0
    dialog = None
    try:
        app = wait_for_app(PROVIDER, timeout=timeout)
        dialog, _ = find_window_with(
            app, lambda w: role(w) == "frame" and name(w) == "Add Keyboard Shortcuts",
            "the Add Keyboard Shortcuts dialog", timeout)
        for item in descendants(dialog, 30):
            if role(item) == "list item":
                print("listed: %s" % name(item))
        add = wait_until(lambda: next(
            (b for b in descendants(dialog, 30) if role(b) == "push button"
             and name(b) == "Add"), None), "the Add button", timeout)
        press(add)
    except E2EError as e:
        explain_dialog("shortcuts.py", e, dialog)
        return 1
    print("added")
    return 0


if __name__ == "__main__":
    sys.exit(main())
