#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Answers GNOME's "Remote desktop" dialog as a person would: waits for the portal's window
over the accessibility bus, ticks "Allow remote interaction" (its "Share" button is off until
then) and presses "Share". Exit status 0 once pressed, 1 when that could not be done in time.
With "shown" it only waits for the dialog, with "gone" for it to go.

Usage: share.py [SECONDS [shown|gone]]"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import pyatspi  # noqa: E402
from atspi_lib import (  # noqa: E402
    E2EError, applications, describe, descendants, find_all, find_window_with, has_state,
    name, press, role, top_levels, wait_for_app, wait_until,
)


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
        press(box)
        # GTK names it by its mnemonic and its label, "_Share Share", and says only sensitive.
        share = wait_until(lambda: next(
            (b for b in descendants(dialog) if role(b) != "label"
             and name(b).split()[-1:] == ["Share"] and has_state(b, pyatspi.STATE_SENSITIVE)),
            None), "the Share button to be on", timeout)
        press(share)
    except E2EError as e:
        print("share.py: %s" % e, file=sys.stderr)
        for app in applications() if not dialog else []:
            print("  %s: %s" % (name(app), [describe(w) for w in top_levels(app)]),
                  file=sys.stderr)
        for acc in descendants(dialog) if dialog else []:
            print("  %s" % describe(acc), file=sys.stderr)
        return 1
    print("shared")
    return 0


if __name__ == "__main__":
    sys.exit(main())
