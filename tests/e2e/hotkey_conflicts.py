# SPDX-License-Identifier: GPL-3.0-or-later
"""Hot-key conflicts as a person meets them, driven through the accessibility tree: the
greyed keys of the main list and their reasons, and the line under the hot-key box of the
wizard and of the properties dialog for each holder of a key. Started by hotkey_conflicts.sh
with the catalogue folder as argument, the program and the peer already running. Exit status
0 when every check passed."""

import sys

from atspi_lib import (
    E2EError, activate_window, cell, check, click, description, drive, find, find_window, name,
    press, screenshot, wait_enabled, wait_for_app, wait_for_message_box, wait_name, wait_rows,
    wait_until, wait_window_gone, xdotool,
)
from wizard import CANCEL_QUESTION, WIZARD, Wizard, has_focus, text_of

MAIN = "Ostrin Quorvel"
PROPERTIES = "Macro Properties"
STATUS = "Hot Key Status"
MAIL, NOTES, MAIL2 = 0, 1, 2

BY_MAIL = "Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps it."
BY_PEER = "Another program holds Ctrl+Alt+J; Quorvel cannot use it."
STOP_KEY = ("Shift+Ctrl+F12 stops a recording; given to a macro, it starts the macro instead "
            "and stops no recording.")
FREE = "Ctrl+Alt+P is free."
KEPT = ("Ctrl+Alt+M is also the hot key of Mail2 (macro 3); this macro has the lower number "
        "and keeps it.")


def wait_line(label, wanted, what):
    try:
        wait_until(lambda: description(label) == wanted, f"{what}: the line to read {wanted!r}",
                   timeout=5)
        check(f"{what}: {wanted!r}", True)
    except E2EError:
        check(f"{what}: {wanted!r}", False, f"it reads {description(label)!r}")


def main_list(app):
    window = find_window(app, MAIN, role_name=None, timeout=20)
    table = find(window, None, "Macros")
    wait_rows(table, [["Mail", "Ctrl+Alt+M", ""], ["Notes", "Ctrl+Alt+J", ""],
                      ["Mail2", "Ctrl+Alt+M", ""]])
    tips = {MAIL: "", NOTES: BY_PEER, MAIL2: BY_MAIL}
    for row, tip in tips.items():
        got = description(cell(table, row, 1))
        check(f"list row {row}: the key's reason {tip!r}", got == tip, f"it reads {got!r}")
    status = find(window, "status bar")
    click(cell(table, MAIL2, 0))
    try:
        wait_name(status, "Mail2 - Advanced Macro - " + BY_MAIL)
        check("status bar: the selected row's refused key", True)
    except E2EError:
        check("status bar: the selected row's refused key", False, f"it reads {name(status)!r}")
    print("screenshot:", screenshot("conflicts-list.png", around=window))
    click(cell(table, MAIL, 0))
    wait_name(status, "Mail - Advanced Macro")
    check("status bar: a bound key adds nothing", True)
    return window, table


def wizard_line(app):
    activate_window(MAIN)
    main = find_window(app, MAIN, role_name=None)
    new = find(main, "push button", "New Macro")
    wait_enabled(new)
    click(new)
    w = Wizard(app, "conflicts")
    w.page("What would you like this macro to do?")
    w.button("Next >")
    w.page("Name Your Macro")
    w.type_into("Macro Name", "Fresh")
    w.button("Next >")
    w.page("Select Triggers")
    box = w.click("text", "Hot Key")
    wait_until(lambda: has_focus(box), "the focus in the hot-key box")
    line = w.control("label", STATUS)
    check("wizard: no line before a key", description(line) == "", description(line))
    for keys, shown, wanted in (
        ("ctrl+alt+m", "Ctrl+Alt+M", BY_MAIL),
        ("ctrl+alt+j", "Ctrl+Alt+J", BY_PEER),
        ("ctrl+shift+F12", "Shift+Ctrl+F12", STOP_KEY),
        ("ctrl+alt+p", "Ctrl+Alt+P", FREE),
    ):
        xdotool("key", keys)
        wait_until(lambda s=shown: text_of(box) == s, f"the hot-key box to show {shown!r}")
        wait_line(line, wanted, f"wizard, {shown}")
        if shown == "Ctrl+Alt+J":
            print("screenshot:", screenshot("conflicts-wizard.png", around=w.window))
    w.button("Cancel")
    question = wait_for_message_box(app, CANCEL_QUESTION)
    press(find(question, "push button", "Yes"))
    wait_window_gone(app, WIZARD)


def properties_line(app, window, table, row, wanted, what):
    click(cell(table, row, 0))
    edit = find(window, "push button", "Edit Macro")
    wait_enabled(edit)
    press(edit, may_block=True)
    dialog = find_window(app, PROPERTIES, role_name=None)
    line = find(dialog, "label", STATUS)
    wait_line(line, wanted, what)
    return dialog, line


def properties(app, window, table):
    dialog, _ = properties_line(app, window, table, MAIL2, BY_MAIL, "properties of Mail2")
    press(find(dialog, "push button", "Cancel"))
    wait_window_gone(app, PROPERTIES)

    dialog, line = properties_line(app, window, table, MAIL, KEPT, "properties of Mail")
    box = find(dialog, None, "HotKey")
    click(box)
    wait_until(lambda: has_focus(box), "the focus in the properties' hot-key box")
    xdotool("key", "ctrl+alt+j")
    wait_until(lambda: text_of(box) == "Ctrl+Alt+J", "the box to show Ctrl+Alt+J")
    wait_line(line, BY_PEER, "properties, Ctrl+Alt+J")
    print("screenshot:", screenshot("conflicts-properties.png", around=dialog))
    press(find(dialog, "push button", "Cancel"))
    wait_window_gone(app, PROPERTIES)


def run():
    app = wait_for_app("Quorvel", timeout=20)
    window, table = main_list(app)
    wizard_line(app)
    properties(app, window, table)


def main():
    return drive(run, name="conflicts")


if __name__ == "__main__":
    sys.exit(main())
