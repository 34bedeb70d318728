# SPDX-License-Identifier: GPL-3.0-or-later
"""The properties dialog as a person meets it, driven through the accessibility tree: a
launch and an advanced macro renamed and given new hot keys, a keystroke macro re-recorded
into an xterm, and each one run by its new key. Started by properties.sh with the data
folder, a scratch folder and the catalogue as arguments, the program already running. Exit
status 0 when every check passed."""

import os
import subprocess
import sys
import time

from atspi_lib import (
    activate_window, cell, check, click, description, drive, enabled, find, find_all,
    find_window, fresh, key, press, read_ini, screenshot, showing, wait_enabled, wait_for_app,
    wait_rows, wait_until, wait_window_gone, xdotool,
)

TITLE = "Ostrin Quorvel"
DIALOG = "Macro Properties"
LAUNCH, KEYS, ADVANCED = 0, 1, 2

targets = []


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace", newline="") as file:
            return file.read()
    except OSError:
        return None


def text_of(acc):
    return fresh(acc).queryText().getText(0, -1)


def start_target(title, path):
    """An xterm whose keyboard input goes to path, line by line."""
    targets.append(subprocess.Popen(
        ["xterm", "-T", title, "-geometry", "60x8", "-e", "sh", "-c",
         f"stty -echo; cat > '{path}'"]))
    activate_window(title)


def open_properties(app, window, table, row):
    click(cell(table, row, 0))
    edit = find(window, "push button", "Edit Macro")
    wait_enabled(edit)
    press(edit, may_block=True)
    return find_window(app, DIALOG, role_name=None)


def retype(dialog, field, text):
    box = find(dialog, None, field)
    click(box)
    key("ctrl+a")
    xdotool("type", "--delay", "40", text)
    wait_until(lambda: text_of(box) == text, f"{field!r} to read {text!r}")


def set_hot_key(dialog, keys, shown):
    box = find(dialog, None, "HotKey")
    click(box)
    key(keys)
    wait_until(lambda: text_of(box) == shown, f"the hot-key box to show {shown!r}")


def confirm(app, dialog):
    press(find(dialog, "push button", "OK"))
    wait_window_gone(app, DIALOG)


def run(home, work, catalogue):
    app = wait_for_app("Quorvel", timeout=20)
    window = find_window(app, TITLE, role_name=None, timeout=15)
    table = find(window, None, "Macros")
    wait_rows(table, [["Launcher", "", ""], ["Typing", "", ""], ["Mail", "", ""]])

    # An advanced macro: new name and key; its text file follows the name.
    dialog = open_properties(app, window, table, ADVANCED)
    kind = find(dialog, None, "Type Summary")
    check("advanced: the kind text", description(kind) == "Playback Manually Created Keystrokes",
          description(kind))
    check("advanced: Edit Macro shown, no record panel",
          showing(find(dialog, "push button", "Edit Macro"))
          and not any(showing(b) for b in find_all(dialog, "push button", "Start Recording")))
    name_box = find(dialog, None, "Name")
    check("advanced: the name box holds the stored name", text_of(name_box) == "Mail",
          text_of(name_box))
    press(find(dialog, "push button", "Edit Macro"), may_block=True)
    wizard = find_window(app, "Macro Assistant", role_name=None)
    memo = find(wizard, None, "Macro Text")
    check("edit mode: the wizard holds the trimmed text", text_of(memo) == "hello<<ENTER>>",
          repr(text_of(memo)))
    save = find(wizard, "push button", "Save")
    check("edit mode: Save shown, Next and Back hidden",
          showing(save) and not any(showing(b) for b in find_all(wizard, "push button", "Next >"))
          and not any(showing(b) for b in find_all(wizard, "push button", "< Back")))
    print("screenshot:", screenshot("properties-edit-mode.png", around=wizard))
    press(save)
    wait_window_gone(app, "Macro Assistant")
    retype(dialog, "Name", "Post ")
    set_hot_key(dialog, "ctrl+alt+p", "Ctrl+Alt+P")
    print("screenshot:", screenshot("properties-advanced.png", around=dialog))
    confirm(app, dialog)
    record = read_ini(catalogue).get("Macro3", {})
    check("advanced: name, file name and hot key stored",
          (record.get("Name"), record.get("FileName"), record.get("HotKey"))
          == ("Post", "Post.key", "49232"), f"Macro3 is {record}")
    check("advanced: the text file renamed",
          read(os.path.join(home, "Post.key")) == "hello<<ENTER>>\r\n"
          and not os.path.exists(os.path.join(home, "Mail.key")))
    wait_rows(table, [["Launcher", "", ""], ["Typing", "", ""], ["Post", "Ctrl+Alt+P", ""]])
    check("advanced: the list shows the new name and key", True)

    typed = os.path.join(work, "advanced.txt")
    start_target("Advanced Target", typed)
    key("ctrl+alt+p")
    wait_until(lambda: read(typed) == "hello\n", "the new hot key to type into the xterm",
               timeout=15)
    check("advanced: the new hot key types the text", True)

    # A launch: new name and key; its command line stays as it was.
    dialog = open_properties(app, window, table, LAUNCH)
    kind = find(dialog, None, "Type Summary")
    check("launch: the kind text",
          description(kind) == "Start an Application or Launch a Document", description(kind))
    check("launch: the command line split into its boxes",
          (text_of(find(dialog, None, "FileName")), text_of(find(dialog, None, "Parameters")),
           text_of(find(dialog, None, "Start In")))
          == ("touch", os.path.join(home, "launched"), ""))
    retype(dialog, "Name", "Starter")
    set_hot_key(dialog, "ctrl+alt+s", "Ctrl+Alt+S")
    print("screenshot:", screenshot("properties-launch.png", around=dialog))
    confirm(app, dialog)
    record = read_ini(catalogue).get("Macro1", {})
    check("launch: name, command line and hot key stored",
          (record.get("Name"), record.get("FileName"), record.get("HotKey"))
          == ("Starter", f"touch~~{home}/launched~~", "49235"), f"Macro1 is {record}")
    activate_window("Advanced Target")
    key("ctrl+alt+s")
    wait_until(lambda: os.path.exists(os.path.join(home, "launched")),
               "the new hot key to start the program", timeout=15)
    check("launch: the new hot key starts the program", True)

    # A keystroke macro recorded again into an xterm, then replayed by its new key.
    dialog = open_properties(app, window, table, KEYS)
    check("keys: the kind text", description(find(dialog, None, "Type Summary"))
          == "Playback Keystrokes")
    start = find(dialog, "push button", "Start Recording")
    stop = find(dialog, "push button", "Stop Recording")
    check("keys: Stop Recording disabled at first", not enabled(stop))
    set_hot_key(dialog, "ctrl+alt+k", "Ctrl+Alt+K")
    recorded = os.path.join(work, "recorded.txt")
    start_target("Record Target", recorded)
    press(start)
    wait_enabled(stop)
    check("keys: recording disables OK", not enabled(find(dialog, "push button", "OK")))
    activate_window("Record Target")
    xdotool("type", "--delay", "60", "abc")
    key("Return")
    wait_until(lambda: read(recorded) == "abc\n", "the keys to reach the recording xterm")
    print("screenshot:", screenshot("properties-recording.png"))
    press(stop)
    temp = os.path.join(home, "~temp.dat")
    wait_until(lambda: os.path.exists(temp), "the recording in ~temp.dat")
    wait_enabled(find(dialog, "push button", "OK"))
    check("keys: the old recording is kept until OK",
          read(os.path.join(home, "Typing.dat")) == "old journal")
    print("screenshot:", screenshot("properties-keys.png", around=dialog))
    confirm(app, dialog)
    record = read_ini(catalogue).get("Macro2", {})
    check("keys: file name and hot key stored",
          (record.get("Name"), record.get("FileName"), record.get("HotKey"))
          == ("Typing", "Typing.dat", "49227"), f"Macro2 is {record}")
    check("keys: the new recording replaced the old one",
          not os.path.exists(temp) and read(os.path.join(home, "Typing.dat")) != "old journal")

    replayed = os.path.join(work, "replayed.txt")
    start_target("Replay Target", replayed)
    time.sleep(0.3)
    key("ctrl+alt+k")
    wait_until(lambda: read(replayed) == "abc\n", "the new recording replayed into the xterm",
               timeout=20)
    check("keys: the new hot key replays the new recording", True)


def main():
    def stop_targets():
        for target in targets:
            target.terminate()

    return drive(run, *sys.argv[1:4], name="properties", cleanup=stop_targets)


if __name__ == "__main__":
    sys.exit(main())
