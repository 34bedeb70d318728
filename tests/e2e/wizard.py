# SPDX-License-Identifier: GPL-3.0-or-later
"""One macro of each kind made through "Macro Assistant" as a person makes it: the choices
clicked, the name and texts typed, the hot key pressed into its box, recordings made in an
xterm; then the catalogue, the data files and the shortcut are read, and every new hot key is
pressed to see it do its job; last a cancelled wizard stores nothing and gives the hot keys
back. Started by wizard.sh with the data folder, the scratch folder, the home folder, the
launched program and the catalogue as arguments, the program already running. Exit status 0
when every check passed."""

import os
import subprocess
import sys
import time

import pyatspi

from atspi_lib import (
    E2EError, activate_window, check, click, description, drive, enabled, find,
    find_window, fresh, has_state, matches, press, read_ini, rows, screenshot, showing,
    tree_on_failure, visible, wait_enabled, wait_for_app, wait_for_message_box, wait_until,
    wait_window_gone, x_window_visible, xdotool,
)

MAIN = "Ostrin Quorvel"
WIZARD = "Macro Assistant"
HINTS = "Quorvel Hints"
RECORDED = "Playback mouse movements, clicks, and keystrokes."
CANCEL_QUESTION = ("The Macro Setup Wizard has not finished creating your macro.  Are you sure "
                   "you want to exit the wizard?")
# Where the xterms stand: clear of the centred wizard, and in the same place for a
# recording and its replay, so recorded clicks land on the replay's xterm.
XTERM_GEOMETRY = "70x8+20+800"

terminals = []
# With the default folders the catalogue is not in the data folder.
catalogue = None


def file_bytes(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except OSError:
        return None


def first_line(path):
    data = file_bytes(path)
    return data.split(b"\n", 1)[0].decode(errors="replace") if data and b"\n" in data else None


def wait_line(path, wanted, what, timeout=15):
    """Checks that the first line typed into an xterm's file becomes wanted."""
    try:
        wait_until(lambda: first_line(path) == wanted, what, timeout)
        check(what, True)
    except E2EError as error:
        check(what, False, f"{error}; the file holds {file_bytes(path)!r}")


def xterm(title, out):
    """An xterm whose typed lines go to out."""
    process = subprocess.Popen(
        ["xterm", "-T", title, "-geometry", XTERM_GEOMETRY, "-e", "sh", "-c",
         f"stty -echo; exec cat > '{out}'"],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    terminals.append(process)
    wait_until(lambda: x_window_visible(title), f"the xterm {title!r} to map")
    # cat has the file open once it exists: typing before that would go nowhere.
    wait_until(lambda: os.path.exists(out), f"the xterm {title!r} to open {out}")
    activate_window(title)
    return process


def close(process):
    process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()


def hot_key(*keys):
    """Pressed with nothing else held, so the grab sees exactly these modifiers."""
    xdotool("key", "--clearmodifiers", *keys)


class Wizard:
    """The wizard window as its user sees it: only the controls of the visible page."""

    def __init__(self, app, slug):
        self.app = app
        self.slug = slug
        self.shots = 0
        self.window = find_window(app, WIZARD, role_name=None)

    def control(self, role_name, acc_name, timeout=10):
        def probe():
            return next((a for a in visible(self.window) if matches(a, role_name, acc_name)),
                        None)

        return wait_until(probe, f"a showing {role_name} {acc_name!r} in the wizard", timeout)

    def shot(self, page):
        self.shots += 1
        path = screenshot(f"wizard-{self.slug}-{self.shots}-{page}.png", around=self.window)
        print("screenshot:", path)

    def click(self, role_name, acc_name):
        acc = self.control(role_name, acc_name)
        wait_enabled(acc)
        click(acc)
        return acc

    def button(self, caption):
        return self.click("push button", caption)

    def keys(self, keys):
        """Presses keys (xdotool's names) on the person's keyboard."""
        xdotool("key", keys)

    def page(self, title):
        """Waits for the page with that bold title."""
        self.control("label", title)

    def type_into(self, acc_name, text):
        edit = self.click("text", acc_name)
        wait_until(lambda: has_focus(edit), f"the focus in {acc_name!r}")
        xdotool("type", "--delay", "20", text)
        wait_text(edit, text, acc_name)

    def summary(self, wanted):
        for label, value in wanted.items():
            acc = self.control("label", label)
            try:
                wait_until(lambda a=acc, v=value: description(a) == v,
                           f"{label!r} to read {value!r}", timeout=5)
                check(f"summary {label!r} reads {value!r}", True)
            except E2EError:
                check(f"summary {label!r} reads {value!r}", False,
                      f"it reads {description(acc)!r}")

    def start(self, choice, macro_name, hot, shown, trigger=""):
        """The first choice, the name, and the triggers: the hot key pressed into its box
        (hot for xdotool, shown as the box shows it) and the window title."""
        self.page("What would you like this macro to do?")
        self.click("radio button", choice)
        self.shot("start")
        self.button("Next >")
        self.page("Name Your Macro")
        self.type_into("Macro Name", macro_name)
        self.shot("name")
        self.button("Next >")
        self.page("Select Triggers")
        box = self.click("text", "Hot Key")
        wait_until(lambda: has_focus(box), "the focus in the hot-key box")
        self.keys(hot)
        wait_text(box, shown, "the hot-key box")
        if trigger:
            self.type_into("Window Title", trigger)

    def finish(self, summary):
        self.page("Finished")
        self.summary(summary)
        self.shot("finished")
        self.button("Finished")
        wait_window_gone(self.app, WIZARD)


def has_focus(acc):
    return has_state(acc, pyatspi.STATE_FOCUSED)


def text_of(acc):
    text = fresh(acc).queryText()
    return text.getText(0, text.characterCount)


def wait_text(acc, wanted, what):
    try:
        wait_until(lambda: text_of(acc) == wanted, f"{what} to read {wanted!r}")
    except E2EError as error:
        raise E2EError(f"{error}; it reads {text_of(acc)!r}") from None


def open_wizard(app, slug):
    main = find_window(app, MAIN, role_name=None, timeout=20)
    activate_window(MAIN)
    new = find(main, "push button", "New Macro")
    wait_enabled(new)
    click(new)
    return Wizard(app, slug)


def close_hint(app, slug):
    hint = find_window(app, HINTS, role_name=None)
    print("screenshot:", screenshot(f"wizard-{slug}-hint.png", around=hint))
    press(find(hint, "push button", "OK"))
    wait_window_gone(app, HINTS)


def wait_row(app, row):
    """The main list shows the new macro once the hot keys are bound again."""
    main = find_window(app, MAIN, role_name=None, timeout=10)
    table = find(main, None, "Macros")
    try:
        wait_until(lambda: row in rows(table), f"the row {row} in the macro list")
        check(f"the list shows {row}", True)
    except E2EError:
        check(f"the list shows {row}", False, f"it shows {rows(table)}")


def record_of(home, macro_name):
    ini = read_ini(catalogue)
    for section, keys in ini.items():
        if section.startswith("Macro") and keys.get("Name") == macro_name:
            return section, keys
    return None, {}


def check_record(home, macro_name, wanted, absent=()):
    section, record = record_of(home, macro_name)
    check(f"{macro_name}: a catalogue record", section is not None)
    for k, v in wanted.items():
        check(f"{macro_name}: {k}={v}", record.get(k) == v, f"the record is {record}")
    for k in absent:
        check(f"{macro_name}: no {k}", k not in record, f"the record is {record}")
    return section


# The four kinds ---------------------------------------------------------------------------


def advanced(app, home, work, user):
    """Kind 4, with a desktop shortcut: types its text into an xterm."""
    w = open_wizard(app, "advanced")
    w.start("Create a macro using advanced options.", "Greeting", "ctrl+alt+g", "Ctrl+Alt+G")
    combo = w.control("combo box", "ShortCut Icon")
    popup = find(combo, "list")
    click(combo)
    # Return on the closed list would press the default button instead.
    wait_until(lambda: showing(popup), "the shortcut list's popup")
    xdotool("key", "Down", "Return")
    wait_until(lambda: description(combo) == "On Desktop",
               "the shortcut list to read 'On Desktop'")
    w.shot("triggers")
    w.button("Next >")
    w.page("Create an advanced macro")
    w.type_into("Macro Text", "Hello wizard<<ENTER>>")
    w.shot("advanced")
    w.button("Next >")
    w.finish({"Macro Name Summary": "Greeting", "Macro Type Summary": "Playback advanced macro",
              "Shortcut Keys Summary": "Ctrl+Alt+G", "Window Trigger Summary": "None"})

    check_record(home, "Greeting",
                 {"Type": "4", "HotKey": "49223", "FileName": "Greeting.key", "Trigger": ""},
                 absent=["Speed"])
    check("Greeting.key holds the line ended by CR LF",
          file_bytes(os.path.join(home, "Greeting.key")) == b"Hello wizard<<ENTER>>\r\n",
          f"it holds {file_bytes(os.path.join(home, 'Greeting.key'))!r}")
    wait_row(app, ["Greeting", "Ctrl+Alt+G", ""])

    entry = os.path.join(user, "Desktop", "quorvel-macro-Greeting.desktop")
    check("the shortcut is on the desktop", os.path.isfile(entry), f"no {entry}")
    if os.path.isfile(entry):
        result = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
        remarks = [line for line in (result.stdout + result.stderr).splitlines()
                   if 'looks the same as that of key "Name"' not in line and line.strip()]
        check("the shortcut passes desktop-file-validate", result.returncode == 0 and not remarks,
              "; ".join(remarks))
        text = open(entry, encoding="utf-8").read()
        check("the shortcut carries the hot key", "X-Quorvel-HotKey=49223" in text.splitlines(),
              text)
        execs = [line for line in text.splitlines() if line.startswith("Exec=")]
        check("the shortcut opens Greeting",
              len(execs) == 1 and "/Open:" in execs[0] and "Greeting" in execs[0], text)

    out = os.path.join(work, "advanced.txt")
    term = xterm("Advanced Target", out)
    hot_key("ctrl+alt+g")
    wait_line(out, "Hello wizard", "Ctrl+Alt+G types the text into the xterm")
    close(term)


def launch(app, home, work, marker_script):
    """Kind 1 with a window-title trigger: starts a program, by hot key and by window."""
    marker = os.path.join(work, "launched")
    w = open_wizard(app, "launch")
    w.start("Start an Application or Launch a Document", "Launcher", "ctrl+alt+l", "Ctrl+Alt+L",
            trigger="Launch Me Now")
    w.shot("triggers")
    w.button("Next >")
    w.page("Start an Application")
    w.type_into("Command Line", marker_script)
    w.type_into("Parameters", marker)
    # The wizard keeps every hot key inert: Greeting's would type into this box.
    hot_key("ctrl+alt+g")
    time.sleep(1.0)
    parameters = w.control("text", "Parameters")
    check("hot keys are inert while the wizard is open", text_of(parameters) == marker,
          f"the box reads {text_of(parameters)!r}")
    w.shot("start-app")
    w.button("Next >")
    w.finish({"Macro Name Summary": "Launcher", "Macro Type Summary": "Start an Application",
              "Shortcut Keys Summary": "Ctrl+Alt+L", "Window Trigger Summary": "Launch Me Now"})

    check_record(home, "Launcher",
                 {"Type": "1", "HotKey": "49228", "FileName": f"{marker_script}~~{marker}~~",
                  "Trigger": "Launch Me Now"},
                 absent=["Speed"])
    wait_row(app, ["Launcher", "Ctrl+Alt+L", "Launch Me Now"])

    activate_window(MAIN)
    hot_key("ctrl+alt+l")
    try:
        wait_until(lambda: os.path.exists(marker), "the marker of the launched program", 15)
        check("Ctrl+Alt+L starts the program", True)
    except E2EError as error:
        check("Ctrl+Alt+L starts the program", False, str(error))
    if os.path.exists(marker):
        os.remove(marker)

    term = subprocess.Popen(["xterm", "-T", "Launch Me Now", "-e", "sleep", "60"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    terminals.append(term)
    try:
        wait_until(lambda: os.path.exists(marker), "the trigger's launch", 15)
        check("the window 'Launch Me Now' starts the program", True)
    except E2EError as error:
        check("the window 'Launch Me Now' starts the program", False, str(error))
    close(term)


def keystrokes(app, home, work):
    """Kind 2, named with a trailing blank: keys recorded in an xterm, replayed into a
    fresh one."""
    w = open_wizard(app, "keys")
    w.start(RECORDED, "Keys Rec ", "ctrl+alt+k", "Ctrl+Alt+K")
    w.button("Next >")
    w.page("Record just keys or mouse and keys?")
    w.click("radio button", "Only capture keystrokes.")
    w.shot("keys-type")
    w.button("Next >")
    w.page("Record Keystrokes")
    check("Next is disabled before a recording", not enabled(w.control("push button", "Next >")))
    w.shot("record-keys")
    w.button("Start Recording")
    close_hint(app, "keys")
    wait_enabled(w.control("push button", "Stop Recording"))

    out = os.path.join(work, "keys-recorded.txt")
    term = xterm("Keys Target", out)
    xdotool("type", "--delay", "40", "keys42")
    xdotool("key", "Return")
    wait_line(out, "keys42", "the typing reached the xterm while recording")
    press(w.control("push button", "Stop Recording"))
    wait_enabled(w.control("push button", "Next >"))
    check("Stop Recording enables Next", True)
    close(term)
    activate_window(WIZARD)
    # The test replay lands in the practice box, and Playback comes back when it ends.
    w.button("Playback")
    practice = w.control("text", "Practice Keys")
    try:
        wait_until(lambda: "keys42" in text_of(practice), "the test replay in the practice box")
        check("Playback replays into the practice box", True)
    except E2EError as error:
        check("Playback replays into the practice box", False,
              f"{error}; it reads {text_of(practice)!r}")
    wait_enabled(w.control("push button", "Playback"))
    check("Playback is enabled again after the replay", True)
    w.shot("recorded-keys")
    w.button("Next >")
    w.finish({"Macro Name Summary": "Keys Rec ", "Macro Type Summary": "Playback keyboard",
              "Shortcut Keys Summary": "Ctrl+Alt+K", "Window Trigger Summary": "None"})

    check_record(home, "Keys Rec",
                 {"Type": "2", "HotKey": "49227", "FileName": "Keys Rec.dat", "Trigger": ""},
                 absent=["Speed"])
    data = file_bytes(os.path.join(home, "Keys Rec.dat"))
    check("Keys Rec.dat is written", bool(data))
    check("no data file under the untrimmed name",
          not os.path.exists(os.path.join(home, "Keys Rec .dat")))
    wait_row(app, ["Keys Rec", "Ctrl+Alt+K", ""])

    out = os.path.join(work, "keys-replayed.txt")
    term = xterm("Keys Replay", out)
    hot_key("ctrl+alt+k")
    wait_line(out, "keys42", "Ctrl+Alt+K replays the keys into a fresh xterm")
    close(term)


def mouse(app, home, work):
    """Kind 3: the wizard hides, a click and keys in an xterm, Ctrl+Shift+F12 brings it
    back; the hot key replays into a fresh xterm at the same place."""
    w = open_wizard(app, "mouse")
    w.start(RECORDED, "Mouse Rec", "ctrl+alt+j", "Ctrl+Alt+J")
    w.button("Next >")
    w.page("Record just keys or mouse and keys?")
    w.click("radio button", "Capture all mouse and keyboard actions.")
    w.shot("keys-type")
    w.button("Next >")
    w.page("Record Mouse and Keyboard")
    w.shot("record-mouse")

    out = os.path.join(work, "mouse-recorded.txt")
    term = xterm("Mouse Target", out)
    activate_window(WIZARD)
    w.button("Start Recording")
    close_hint(app, "mouse")
    wait_until(lambda: not x_window_visible(WIZARD) and not x_window_visible(MAIN),
               "the wizard and the main window to hide")
    check("recording hides the wizard and the main window", True)
    # The state is read once the handler has returned, and so once the recording runs.
    wait_enabled(find(w.window, "push button", "Stop Recording", index=1))

    # A click into the xterm (through the window manager's replayed press), then keys.
    geometry = subprocess.run(["xdotool", "search", "--name", "^Mouse Target$",
                               "getwindowgeometry", "--shell"], capture_output=True, text=True)
    fields = dict(line.split("=", 1) for line in geometry.stdout.split() if "=" in line)
    x, y = int(fields["X"]) + 100, int(fields["Y"]) + 40
    xdotool("mousemove", "--sync", str(x), str(y))
    xdotool("click", "1")
    wait_until(lambda: xdotool("getactivewindow").strip() == fields["WINDOW"],
               "the clicked xterm to be active")
    xdotool("type", "--delay", "40", "mouse42")
    xdotool("key", "Return")
    wait_line(out, "mouse42", "the typing reached the xterm while recording")
    hot_key("ctrl+shift+F12")
    w.window = find_window(app, WIZARD, role_name=None)
    check("Ctrl+Shift+F12 brings the wizard back", True)
    wait_until(lambda: x_window_visible(MAIN), "the main window to show again")
    check("Ctrl+Shift+F12 brings the main window back", True)
    wait_enabled(w.control("push button", "Next >"))
    check("the stop key enables Next", True)
    close(term)
    activate_window(WIZARD)
    w.shot("recorded-mouse")
    w.button("Next >")
    w.finish({"Macro Name Summary": "Mouse Rec",
              "Macro Type Summary": "Playback mouse and keyboard",
              "Shortcut Keys Summary": "Ctrl+Alt+J", "Window Trigger Summary": "None"})

    check_record(home, "Mouse Rec",
                 {"Type": "3", "HotKey": "49226", "FileName": "Mouse Rec.dat", "Trigger": "",
                  "Speed": "1"})
    check("Mouse Rec.dat is written", bool(file_bytes(os.path.join(home, "Mouse Rec.dat"))))
    wait_row(app, ["Mouse Rec", "Ctrl+Alt+J", ""])

    # The replay's xterm is not active: the recorded click has to bring it forward.
    out = os.path.join(work, "mouse-replayed.txt")
    term = xterm("Mouse Replay", out)
    activate_window(MAIN)
    xdotool("mousemove", "--sync", "5", "5")
    hot_key("ctrl+alt+j")
    wait_line(out, "mouse42", "Ctrl+Alt+J replays the click and keys into the xterm", 20)
    close(term)


def cancelled(app, home, work):
    """Cancel asks first; Yes leaves the catalogue as it was and the hot keys live again."""
    before = file_bytes(catalogue)
    w = open_wizard(app, "cancel")
    w.page("What would you like this macro to do?")
    w.button("Next >")
    w.page("Name Your Macro")
    w.type_into("Macro Name", "Never Stored")
    w.button("Cancel")
    box = wait_for_message_box(app, CANCEL_QUESTION)
    print("screenshot:", screenshot("wizard-cancel-question.png", around=box))
    press(find(box, "push button", "No"))
    wait_until(lambda: not showing(box), "the question to close after No")
    wait_text(w.control("text", "Macro Name"), "Never Stored", "the name box after No")
    check("No keeps the wizard on its page", True)
    w.button("Cancel")
    box = wait_for_message_box(app, CANCEL_QUESTION)
    press(find(box, "push button", "Yes"))
    wait_window_gone(app, WIZARD)
    check("Yes closes the wizard", True)
    check("Cancel leaves the catalogue as it was",
          file_bytes(catalogue) == before)

    marker = os.path.join(work, "launched")
    if os.path.exists(marker):
        os.remove(marker)
    activate_window(MAIN)
    hot_key("ctrl+alt+l")
    try:
        wait_until(lambda: os.path.exists(marker), "the marker of the launched program", 15)
        check("hot keys work again after Cancel", True)
    except E2EError as error:
        check("hot keys work again after Cancel", False, str(error))


def run(home, work, user, marker_script, catalogue_file):
    global catalogue
    catalogue = catalogue_file
    app = wait_for_app("Quorvel", timeout=20)
    main = find_window(app, MAIN, role_name=None, timeout=20)
    print("screenshot:", screenshot("wizard-0-desktop.png"))
    check("a fresh data folder shows the main window", showing(main))
    steps = [("advanced", lambda: advanced(app, home, work, user)),
             ("launch", lambda: launch(app, home, work, marker_script)),
             ("keystrokes", lambda: keystrokes(app, home, work)),
             ("mouse", lambda: mouse(app, home, work)),
             ("cancel", lambda: cancelled(app, home, work))]
    for label, step in steps:
        began = time.monotonic()
        step()
        print(f"{label} took {time.monotonic() - began:.1f} s")
    entries = read_ini(catalogue).get("Main", {}).get("Entries")
    check("Entries counts the four macros", entries == "4", f"Entries is {entries!r}")
    hints = read_ini(catalogue).get("Main", {}).get("Show Hints")
    check("hints closed ticked stay on", hints in (None, "1"), f"Show Hints is {hints!r}")


def main():
    def close_terminals():
        for term in terminals:
            if term.poll() is None:
                close(term)

    return drive(run, *sys.argv[1:6], name="wizard", on_failure=tree_on_failure("wizard"),
                 cleanup=close_terminals)


if __name__ == "__main__":
    sys.exit(main())
