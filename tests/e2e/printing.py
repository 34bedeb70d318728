# SPDX-License-Identifier: GPL-3.0-or-later
"""The list printed on a real print queue: the main window's context menu, the print dialog
with the queue chosen by name, and Print. Started by printing.sh with the queue's name as
argument, with the program already running. Exit status 0 when every step worked."""

import sys
import traceback

from atspi_lib import (
    E2EError, PopupWatcher, cell, children, click, describe, find, find_all, find_window,
    find_window_with, menu_items, name, role, screenshot, wait_for_app, wait_rows, wait_until,
    wait_window_gone,
)

TITLE = "Ostrin Quorvel"
ROWS = [
    ["Notes", "", "Never Shown Window 7f3a"],
    ["Typing", "Shift+Ctrl+F5", ""],
    ["Mail", "Ctrl+Alt+T", ""],
]


def choose_queue(dialog, queue):
    """Selects the queue in the dialog's printer list unless it is the current one."""
    combos = find_all(dialog, "combo box")
    if not combos:
        raise E2EError("the print dialog has no printer list")
    printers = combos[0]
    if name(printers) == queue:
        return printers
    click(printers)
    entry = wait_until(
        lambda: next((c for c in find_all(printers, None, queue)
                      if role(c) in ("list item", "menu item", "table cell")), None),
        f"{queue!r} in the printer list")
    click(entry)
    wait_until(lambda: name(printers) == queue, f"{queue!r} chosen")
    return printers


def run(queue):
    app = wait_for_app("Quorvel", timeout=20)
    window = find_window(app, TITLE, role_name=None, timeout=15)
    table = find(window, None, "Macros")
    wait_rows(table, ROWS)

    with PopupWatcher() as popups:
        click(cell(table, 1, 0), button=3)
        menu = popups.wait()
    item = next((c for c in children(menu) if name(c) == "Print Macro List"), None)
    if item is None:
        raise E2EError(f"no 'Print Macro List' in {menu_items(menu)}")
    click(item)

    dialog, _ = find_window_with(app, lambda a: name(a) == "Print", "the print dialog")
    printers = choose_queue(dialog, queue)
    print("printer list shows:", describe(printers))
    print("screenshot:", screenshot("print_dialog.png", around=dialog))
    click(find(dialog, "push button", "Print"))
    wait_window_gone(app, "Print")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(run(sys.argv[1]))
    except Exception:  # noqa: BLE001 - the script's status is its report
        traceback.print_exc()
        sys.exit(1)
