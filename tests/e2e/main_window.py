# SPDX-License-Identifier: GPL-3.0-or-later
"""The main window as a person meets it, driven through the accessibility tree: the rows,
the selection by keyboard and by mouse, the context menu, the deletion with its question,
help on F1, and Hide. Started by main_window.sh with the data folder and the catalogue as
arguments, with the program already running on them. Exit status 0 when every check passed."""

import os
import sys
import time

from atspi_lib import (
    PopupWatcher, activate_window, applications, cell, check, click, describe, drive, enabled,
    find, find_window, find_window_with, fresh, key, menu_items, name, press, read_ini, role,
    rows, screenshot, showing, wait_enabled, wait_for_app, wait_for_message_box,
    wait_name, wait_rows, wait_until, wait_window_gone, x_window_visible,
)

TITLE = "Ostrin Quorvel"
QUESTION = "Are you sure you want to delete this macro?"
ROWS = [
    ["Notes", "", "Never Shown Window 7f3a"],
    ["Typing", "Shift+Ctrl+F5", ""],
    ["Mail", "Ctrl+Alt+T", ""],
    ["Replay", "", "Replay Target"],
]
STATUS = [
    "Notes - Starts an Application or Document",
    "Typing - Plays back Keystrokes",
    "Mail - Advanced Macro",
    "Replay - Plays back Mouse and Keyboard",
]
MAIL = 2
BUTTONS = ["Help", "New Macro", "Edit Macro", "Delete Macro", "Hide"]
MENU = ["New Macro", "Delete Macro", "Create Shortcut...", "Print Macro List", "Properties"]


def selected_rows(table):
    itable = fresh(table).queryTable()
    return [r for r in range(itable.nRows) if itable.isRowSelected(r)]


def settle():
    """Lets a handler that has no visible effect run before its absence is checked."""
    time.sleep(0.4)


def run(home, catalogue):
    app = wait_for_app("Quorvel", timeout=20)
    window = find_window(app, TITLE, role_name=None, timeout=15)
    check("main window is a frame", role(window) == "frame", f"it is a {role(window)}")

    table = find(window, None, "Macros")
    wait_rows(table, ROWS)
    check("rows: names, hot keys and triggers in catalogue order", True)
    print("screenshot:", screenshot("main_window.png", around=window))

    status = find(window, "status bar")
    buttons = {caption: find(window, "push button", caption) for caption in BUTTONS}
    for caption in BUTTONS:
        wanted = caption not in ("Edit Macro", "Delete Macro")
        check(f"{caption!r} {'enabled' if wanted else 'disabled'} at start",
              enabled(buttons[caption]) == wanted)

    # Keyboard selection on a fresh window names the macro but enables nothing.
    activate_window(TITLE)
    fresh(table).queryComponent().grabFocus()
    key("Down")
    picked = wait_until(lambda: selected_rows(table), "a row selected by the Down key")
    wait_name(status, STATUS[picked[0]])
    check("arrow key: status bar names the selected macro", True)
    settle()
    check("arrow key: 'Delete Macro' stays disabled", not enabled(buttons["Delete Macro"]))
    check("arrow key: 'Edit Macro' stays disabled", not enabled(buttons["Edit Macro"]))

    # A click with the mouse on a row's cell.
    click(cell(table, MAIL, 0))
    wait_name(status, STATUS[MAIL])
    check("click: status bar reads the macro and its kind", True)
    check("click: the clicked row is selected", selected_rows(table) == [MAIL],
          f"selected {selected_rows(table)}")
    wait_enabled(buttons["Delete Macro"])
    check("click: 'Delete Macro' enabled", True)
    wait_enabled(buttons["Edit Macro"])
    check("mouse release: 'Edit Macro' enabled", True)

    # The context menu of the list, seen only through its showing.
    with PopupWatcher() as popups:
        click(cell(table, MAIL, 0), button=3)
        menu = popups.wait()
    items = menu_items(menu)
    check("context menu items in order", [n for n, _ in items] == MENU, f"got {items}")
    check("context menu items enabled with a row selected", all(on for _, on in items),
          f"got {items}")
    key("Escape")
    wait_until(lambda: not showing(menu), "the context menu to close")

    # The question, answered No: nothing changes.
    before = open(catalogue, "rb").read()
    click(buttons["Delete Macro"])
    box = wait_for_message_box(app, QUESTION)
    print("screenshot:", screenshot("delete_question.png", around=window))
    check("question box has Yes and No",
          all(find(box, "push button", b, timeout=2) for b in ("Yes", "No")))
    press(find(box, "push button", "No"))
    wait_until(lambda: not showing(box), "the question box to close after No")
    settle()
    check("No: rows unchanged", rows(table) == ROWS, f"rows {rows(table)}")
    check("No: selection kept", selected_rows(table) == [MAIL], f"selected {selected_rows(table)}")
    check("No: catalogue unchanged", open(catalogue, "rb").read() == before)
    check("No: data file kept", os.path.exists(os.path.join(home, "Mail.key")))

    # The question, answered Yes.
    click(buttons["Delete Macro"])
    box = wait_for_message_box(app, QUESTION)
    press(find(box, "push button", "Yes"))
    wait_rows(table, ROWS[:MAIL] + ROWS[MAIL + 1:])
    check("Yes: the row is gone, the others keep their order", True)
    wait_enabled(buttons["Delete Macro"], False)
    check("Yes: 'Delete Macro' disabled", True)
    check("Yes: no row selected", selected_rows(table) == [], f"selected {selected_rows(table)}")
    check("Yes: status bar keeps the deleted macro", name(status) == STATUS[MAIL],
          f"it reads {name(status)!r}")

    ini = read_ini(catalogue)
    check("catalogue: Entries decreased", ini.get("Main", {}).get("Entries") == "3",
          f"Main is {ini.get('Main')}")
    check("catalogue: records before the deleted one stay",
          [ini.get(f"Macro{n}", {}).get("Name") for n in (1, 2)] == ["Notes", "Typing"])
    moved = ini.get("Macro3", {})
    wanted = {"Name": "Replay", "Type": "3", "HotKey": "0", "FileName": "Replay.dat",
              "Trigger": "Replay Target", "Speed": "2"}
    check("catalogue: the last record moved down with its keys",
          all(moved.get(k) == v for k, v in wanted.items()), f"Macro3 is {moved}")
    check("catalogue: moved record has all seven keys",
          {"Name", "Type", "HotKey", "FileName", "Trigger", "TriggerRan", "Speed"} <= set(moved),
          f"Macro3 is {moved}")
    check("catalogue: the former last section is gone", "Macro4" not in ini)
    for gone in ("Mail.key", "Mail.dat"):
        check(f"data file {gone} deleted", not os.path.exists(os.path.join(home, gone)))
    for kept in ("Typing.dat", "Replay.dat"):
        check(f"data file {kept} kept", os.path.exists(os.path.join(home, kept)))

    # F1 anywhere in the window opens the help.
    activate_window(TITLE)
    key("F1")
    help_window, page = find_window_with(
        app, lambda a: name(a) == "Help" and role(a) not in ("push button", "menu item"),
        "a help window with a page named 'Help'", exclude=(TITLE,))
    check("F1 opens the help", True)
    print("help window:", describe(help_window), "page:", describe(page))
    print("screenshot:", screenshot("help.png"))

    # Hide: the window goes, the program stays, the placement is saved.
    press(buttons["Hide"])
    wait_window_gone(app, TITLE)
    wait_until(lambda: not x_window_visible(TITLE), "the main window to leave the screen")
    check("Hide hides the main window", True)
    position = read_ini(catalogue).get("Position", {})
    check("Hide saves the placement", {"Width", "Height", "Top", "Left"} <= set(position),
          f"Position is {position}")
    check("the program is still on the bus", any(name(a) == "Quorvel" for a in applications()))


def main():
    return drive(run, sys.argv[1], sys.argv[2], name="main_window")


if __name__ == "__main__":
    sys.exit(main())
