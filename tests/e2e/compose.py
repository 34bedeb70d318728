# SPDX-License-Identifier: GPL-3.0-or-later
"""An advanced macro composed as a person composes it: the wizard opened from the main
window, its advanced page's menu buttons clicked and their items chosen by name, the command
dialogs filled in and confirmed, a few plain keys typed between them; then the saved text is
read, and the macro's hot key must type its line into an xterm. Started by compose.sh with the
data folder, a scratch folder and the catalogue, the program already running. Exit status 0
when every check passed."""

import os
import subprocess
import sys
import traceback

import pyatspi

from atspi_lib import (
    activate_window, check, click, E2EError, failures, find, find_window, fresh,
    has_state, matches, menu_items, PopupWatcher, press, read_ini, screenshot,
    visible, wait_enabled, wait_for_app, wait_for_message_box, wait_until, wait_window_gone,
    x_window_visible, xdotool,
)

MAIN = "Ostrin Quorvel"
WIZARD = "Macro Assistant"
HINTS = "Quorvel Hints"
TARGET = "Compose Target"
TEXT = (f"<<LOOKFOR:{TARGET}~~SECS:10>><<SHIFT>>q<<SECS1>><<REP3>>ab<<ENDREP>>"
        "<<INPUT:Your name?>><<WRITEVALUE>><<ENTER>>")
TYPED = "QabababAda"
MENUS = {
    "Special Keys": ["Ctrl", "Alt", "Shift", "Ctrl+Alt", "Ctrl+Shift", "Shift+Alt", "Enter",
                     *[f"F{n}" for n in range(1, 13)], "Esc", "Tab", "Backspace", "Insert",
                     "Delete"],
    "More Keys": ["Home", "End", "Page Up", "Page Down", "Print Screen", "Up Arrow",
                  "Down Arrow", "Left Arrow", "Right Arrow"],
    "Repeat": ["Start Repeat Sequence", "End Repeat Sequence"],
    "Date / Time": ["Current Date in Short Format", "Current Date in Long Format",
                    "Current Time in Short Format", "Current Time in Long Format"],
    "Misc.": ["Display an input box and get a value", "Write stored value", "Run another macro",
              "Wait for a window to be present", "Bring a window into the foreground",
              "Start an Application or Document"],
}

terminals = []


def control(window, role_name, acc_name, timeout=10):
    def probe():
        return next((a for a in visible(window) if matches(a, role_name, acc_name)), None)

    return wait_until(probe, f"a showing {role_name} {acc_name!r}", timeout)


def has_focus(acc):
    return has_state(acc, pyatspi.STATE_FOCUSED)


def text_of(acc):
    text = fresh(acc).queryText()
    return text.getText(0, text.characterCount)


def wait_text(acc, wanted, what, timeout=10):
    try:
        wait_until(lambda: text_of(acc) == wanted, f"{what} to read {wanted!r}", timeout)
    except E2EError as error:
        raise E2EError(f"{error}; it reads {text_of(acc)!r}") from None


def type_text(text):
    xdotool("type", "--delay", "30", text)


def shot(file_name, window):
    print("screenshot:", screenshot(file_name, around=window))


def dialog(app, caption):
    return find_window(app, caption, role_name=None)


def button(window, caption):
    acc = control(window, "push button", caption)
    wait_enabled(acc)
    click(acc)


class Page:
    """The advanced page: its memo, the menus beside it and what they insert."""

    def __init__(self, app, wizard):
        self.app = app
        self.wizard = wizard
        self.memo = control(wizard, "text", "Macro Text")
        self.seen_menus = set()

    def pick(self, menu_name, item, screenshot_name=None):
        menu_button = control(self.wizard, "push button", menu_name)
        with PopupWatcher() as popups:
            click(menu_button)
            menu = popups.wait()
        if menu_name not in self.seen_menus:
            self.seen_menus.add(menu_name)
            names = [n for n, _ in menu_items(menu)]
            check(f"{menu_name!r} lists its items as menu items", names == MENUS[menu_name],
                  f"it lists {names}")
        if screenshot_name:
            print("screenshot:", screenshot(screenshot_name))
        click(find(menu, "menu item", item))

    def focused(self):
        wait_until(lambda: has_focus(self.memo), "the focus back in the memo")

    def expect(self, text, what):
        try:
            wait_text(self.memo, text, "the memo")
            check(what, True)
        except E2EError as error:
            check(what, False, str(error))
            raise

    def type(self, text):
        self.focused()
        before = text_of(self.memo)
        type_text(text)
        wait_text(self.memo, before + text, "the memo")


def open_wizard(app):
    main = find_window(app, MAIN, role_name=None, timeout=20)
    activate_window(MAIN)
    new = find(main, "push button", "New Macro")
    wait_enabled(new)
    click(new)
    return find_window(app, WIZARD, role_name=None)


def first_pages(wizard, macro_name="Composed", hot_key=("ctrl+alt+p", "Ctrl+Alt+P")):
    """An advanced macro's kind, name and hot key (none when hot_key is None), up to its
    text page."""
    control(wizard, "label", "What would you like this macro to do?")
    click(control(wizard, "radio button", "Create a macro using advanced options."))
    button(wizard, "Next >")
    name = control(wizard, "text", "Macro Name")
    click(name)
    wait_until(lambda: has_focus(name), "the focus in the name box")
    type_text(macro_name)
    wait_text(name, macro_name, "the name box")
    button(wizard, "Next >")
    box = control(wizard, "text", "Hot Key")
    if hot_key:
        click(box)
        wait_until(lambda: has_focus(box), "the focus in the hot-key box")
        xdotool("key", hot_key[0])
        wait_text(box, hot_key[1], "the hot-key box")
    button(wizard, "Next >")
    control(wizard, "label", "Create an advanced macro")


def compose(app, wizard):
    page = Page(app, wizard)
    shot("compose-page.png", wizard)

    # The first hint is shown; switched off there, no other follows.
    page.pick("Misc.", "Wait for a window to be present", "compose-menu-misc.png")
    hint = dialog(app, HINTS)
    check_box = find(hint, "check box", "Show hints")
    click(check_box)
    wait_until(lambda: not has_state(check_box, pyatspi.STATE_CHECKED), "Show hints unticked")
    press(find(hint, "push button", "OK"))
    wait_window_gone(app, HINTS)

    look = dialog(app, "Wait for a Window")
    time_box = control(look, "text", "Time")
    check("the window wait's time is 5 at first", text_of(time_box).strip("_ ") == "5",
          f"it reads {text_of(time_box)!r}")
    button(look, "OK")
    box = wait_for_message_box(
        app, "Please specify the title of the window that you would like to look for.")
    check("an empty title is refused with its message", True)
    press(find(box, "push button", "OK"))
    title = control(look, "text", "Window Title to Wait For")
    wait_until(lambda: has_focus(title), "the focus in the window title")
    type_text(TARGET)
    wait_text(title, TARGET, "the window title")
    click(time_box)
    wait_until(lambda: has_focus(time_box), "the focus in the time")
    xdotool("key", "ctrl+a")
    type_text("10")
    wait_until(lambda: text_of(time_box).strip("_ ") == "10", "the time to read 10")
    shot("compose-wait-for-window.png", look)
    button(look, "OK")
    wait_window_gone(app, "Wait for a Window")
    page.expect(f"<<LOOKFOR:{TARGET}~~SECS:10>>", "the window wait is inserted")
    page.focused()

    page.pick("Special Keys", "Shift")
    page.expect(f"<<LOOKFOR:{TARGET}~~SECS:10>><<SHIFT>>", "no more hints: Shift goes in at once")
    page.type("q")

    button(wizard, "Start a Delay")
    wait = dialog(app, "Wait Time")
    wait_time = control(wait, "text", "Time")
    wait_until(lambda: has_focus(wait_time), "the focus in the delay's time")
    type_text("1")
    check("Seconds is chosen at first",
          has_state(control(wait, "radio button", "Seconds"), pyatspi.STATE_CHECKED))
    shot("compose-wait.png", wait)
    button(wait, "OK")
    wait_window_gone(app, "Wait Time")

    page.pick("Repeat", "Start Repeat Sequence", "compose-menu-repeat.png")
    repeat = dialog(app, "Number of Times to Repeat")
    count = control(repeat, "text", "Repeat Count")
    wait_until(lambda: has_focus(count), "the focus in the repeat count")
    type_text("3")
    shot("compose-repeat.png", repeat)
    button(repeat, "OK")
    wait_window_gone(app, "Number of Times to Repeat")
    page.type("ab")
    page.pick("Repeat", "End Repeat Sequence")

    page.pick("Misc.", "Display an input box and get a value")
    input_box = dialog(app, "Input Box")
    input_title = control(input_box, "text", "Input Box Title")
    wait_until(lambda: has_focus(input_title), "the focus in the input box's title")
    type_text("Your name?")
    shot("compose-input-box.png", input_box)
    button(input_box, "OK")
    wait_window_gone(app, "Input Box")
    page.pick("Misc.", "Write stored value")
    page.pick("Special Keys", "Enter")
    page.expect(TEXT, "the whole text is composed")
    page.focused()
    shot("compose-page-done.png", wizard)

    # Checked only for their items and their dialogs' names; nothing is inserted.
    for menu_name, item in (("More Keys", "Home"), ("Date / Time", "Current Time in Short Format")):
        page.pick(menu_name, item)
        page.focused()
        xdotool("key", "ctrl+z")
        page.expect(TEXT, f"{item!r} is undone")
    page.pick("Misc.", "Run another macro")
    query = dialog(app, "Run another macro")
    answer = control(query, "text", "Answer")
    wait_until(lambda: has_focus(answer), "the focus in the answer")
    shot("compose-run-another-macro.png", query)
    button(query, "Cancel")
    wait_window_gone(app, "Run another macro")
    page.pick("Misc.", "Start an Application or Document")
    execute = dialog(app, "Execute an Application")
    browse = [a for a in visible(execute) if matches(a, "push button", "Browse")]
    check("the execute dialog has its two Browse buttons", len(browse) == 2, f"{len(browse)}")
    command = control(execute, "text", "Command Line")
    wait_until(lambda: has_focus(command), "the focus in the command line")
    type_text("/bin/true ")
    shot("compose-execute.png", execute)
    button(execute, "OK")
    wait_window_gone(app, "Execute an Application")
    page.expect(TEXT + "<<EXECUTE:/bin/true ~~~~>>", "the command line goes in as typed")
    click(page.memo)
    page.focused()
    xdotool("key", "ctrl+z")
    page.expect(TEXT, "undo and a cancelled answer leave the text as composed")


def finish(app, wizard, home, catalogue):
    button(wizard, "Next >")
    control(wizard, "label", "Finished")
    button(wizard, "Finished")
    wait_window_gone(app, WIZARD)
    ini = read_ini(catalogue)
    record = next((keys for section, keys in ini.items()
                   if section.startswith("Macro") and keys.get("Name") == "Composed"), {})
    check("the catalogue holds the macro",
          record.get("Type") == "4" and record.get("HotKey") == "49232"
          and record.get("FileName") == "Composed.key", f"the record is {record}")
    path = os.path.join(home, "Composed.key")
    data = open(path, "rb").read() if os.path.exists(path) else None
    check("Composed.key holds the composed text and CR LF",
          data == TEXT.encode() + b"\r\n", f"it holds {data!r}")


def run_hot_key(app, work):
    out = os.path.join(work, "typed.txt")
    term = subprocess.Popen(
        ["xterm", "-T", TARGET, "-geometry", "70x8+20+800", "-e", "sh", "-c",
         f"stty -echo; exec cat > '{out}'"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    terminals.append(term)
    wait_until(lambda: x_window_visible(TARGET), "the xterm to map")
    wait_until(lambda: os.path.exists(out), "the xterm's cat to open its file")
    activate_window(TARGET)
    xdotool("key", "--clearmodifiers", "ctrl+alt+p")

    prompt = dialog(app, "Quorvel Input Box")
    value = control(prompt, "text", "Value")
    wait_until(lambda: has_focus(value), "the focus in the value prompt")
    shot("compose-value-prompt.png", prompt)
    type_text("Ada")
    wait_text(value, "Ada", "the value prompt")
    button(prompt, "OK")

    def line():
        try:
            with open(out, "rb") as file:
                data = file.read()
        except OSError:
            return None
        return data.split(b"\n", 1)[0].decode(errors="replace") if b"\n" in data else None

    try:
        wait_until(lambda: line() == TYPED, f"the xterm to receive {TYPED!r}", 20)
        check("the hot key types the composed macro into the xterm", True)
    except E2EError as error:
        check("the hot key types the composed macro into the xterm", False,
              f"{error}; the file holds {open(out, 'rb').read()!r}")


def main(home, work, catalogue):
    app = wait_for_app("Quorvel", timeout=20)
    wizard = open_wizard(app)
    first_pages(wizard)
    compose(app, wizard)
    finish(app, wizard, home, catalogue)
    run_hot_key(app, work)


if __name__ == "__main__":
    try:
        main(*sys.argv[1:4])
    except Exception:  # noqa: BLE001 - reported as a failure with its trace
        traceback.print_exc()
        failures.append("the driver ran to its end")
    finally:
        for process in terminals:
            process.terminate()
    print(f"{len(failures)} failed" if failures else "all passed")
    sys.exit(1 if failures else 0)
