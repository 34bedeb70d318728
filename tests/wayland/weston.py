# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads the running program over AT-SPI on weston, which shows no window list to anyone:
`box TEXT` waits for the error box saying TEXT and presses its OK; `status TEXT` waits for the
main window's status bar to read TEXT. Exit status 0 when it did."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from atspi_lib import (  # noqa: E402
    E2EError, find, find_window, press, wait_for_app, wait_for_message_box, wait_name,
)


def main(what, text):
    app = wait_for_app()
    if what == "box":
        press(find(wait_for_message_box(app, text), "push button", "OK"))
    else:
        wait_name(find(find_window(app, "Ostrin Quorvel"), "status bar"), text)


if __name__ == "__main__":
    try:
        main(*sys.argv[1:])
    except E2EError as error:
        print(f"FAIL: {error}")
        sys.exit(1)
