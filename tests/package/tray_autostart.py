# SPDX-License-Identifier: GPL-3.0-or-later
"""The tray menu's "Start with the Desktop" on a real tray: off on a fresh home, ticking it
writes the autostart entry (argv[2]) that starts Quorvel, the tick shows when the menu opens
again. Started by session.sh with the quorvel process id."""

import os
import sys
import time

import pyatspi

from atspi_lib import (
    check, drive, find, has_state, key, press, showing, wait_for_app, wait_until,
)
from tray import icon_window, open_menu

ITEM = "Start with the Desktop"


def run(pid, entry):
    wait_for_app("Quorvel", timeout=20)
    icon = icon_window(int(pid))
    menu = open_menu(icon)
    item = find(menu, None, ITEM)
    check("the item is off on a fresh home", not has_state(item, pyatspi.STATE_CHECKED))
    check("no autostart entry yet", not os.path.exists(entry))
    press(item)
    wait_until(lambda: os.path.exists(entry), "the autostart entry", 10)
    wait_until(lambda: has_state(item, pyatspi.STATE_CHECKED), "the tick", 10)
    # Pressed over the accessibility bus, the menu may stay open.
    if showing(menu):
        key("Escape")
        wait_until(lambda: not showing(menu), "the menu to close", 10)
    time.sleep(0.8)
    with open(entry, encoding="utf-8") as file:
        text = file.read()
    check("the entry starts quorvel without arguments",
          "\nExec=/usr/bin/quorvel\n" in text, text)
    menu = open_menu(icon)
    check("the tick shows when the menu opens again",
          has_state(find(menu, None, ITEM), pyatspi.STATE_CHECKED))
    key("Escape")


if __name__ == "__main__":
    sys.exit(drive(run, *sys.argv[1:3], name="tray-autostart"))
