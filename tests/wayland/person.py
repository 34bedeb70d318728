# SPDX-License-Identifier: GPL-3.0-or-later
"""The whole program on a headless Wayland desktop (sway, KDE Plasma or GNOME: see
desktops.py) as a person uses it: three macros made through "Macro Assistant" over the
accessibility bus (texts set through the text interface, the hot keys pressed into their box on
the person's keyboard), then each put to work on terminal windows: a hot key types ASCII, 2,000
distinct CJK characters and mixed scripts exactly, the user's clipboard kept, a window title
starts a program, and FOCUS and LOOKFOR move the typing between windows and wait as they do on
X11; the recording page says why it cannot record here. Started by person.sh with the scratch
folder, the data folder and the catalogue as arguments, the program already running as a
native Wayland client. Exit status 0 when every check passed."""

import os
import random
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import atspi_lib  # noqa: E402
import desktops  # noqa: E402
import wizard  # noqa: E402
from atspi_lib import (  # noqa: E402
    E2EError, check, description, drive, enabled, find, find_all, find_window, fresh, name, press,
    screenshot, tree_on_failure, wait_enabled, wait_for_app, wait_for_message_box, wait_window_gone,
    wait_until,
)

# Plain keys, the characters of the language's own brackets and three scripts no US key types;
# then a line of each script and an emoji beyond the 16-bit plane, and long texts.
GREETING = "Hello, Wayland! ~^@{} é Привет Ωμέγα 東京"
MIXED = "ASCII é ß Привет Ωμέγα 東京 😀"
# Printable ASCII but "<", which opens the language's commands, in an order of its own.
ASCII = "".join(random.Random(25).choices([chr(c) for c in range(32, 127) if c != ord("<")],
                                          k=2000))
CJK = "".join(chr(0x4E00 + i) for i in range(2000))
LINE = 100  # characters of a typed line: ASCII and CJK go as 20 lines each


def lines(text):
    return [text[i:i + LINE] for i in range(0, len(text), LINE)]


TYPED = [GREETING, MIXED, *lines(ASCII), *lines(CJK)]
HOP = ("<<FOCUS:left term>>left<<ENTER>><<FOCUS:Right Term>>right<<ENTER>>"
       "<<LOOKFOR:Nowhere~~SECS:2>>waited<<ENTER>>"
       "<<LOOKFOR:late term~~SECS:20>><<FOCUS:Right Term>>found<<ENTER>><<CTRL>>d"
       "<<FOCUS:Left Term>><<CTRL>>d")
# The user's clipboard, which a paste of what the layout lacks must leave as it was.
CLIPBOARD = "the user's own clipboard"

HELD = "Ctrl+Alt+G is the hot key of Greeting (macro 1); the lower number keeps it."

desktop = None


class Wizard(wizard.Wizard):
    """The X11 suite's wizard, its controls driven by their actions and text interfaces."""

    def click(self, role_name, acc_name):
        acc = self.control(role_name, acc_name)
        wait_enabled(acc)
        if role_name == "text":
            fresh(acc).queryComponent().grabFocus()
        else:
            press(acc)
        return acc

    def type_into(self, acc_name, text):
        edit = self.control("text", acc_name)
        fresh(edit).queryEditableText().setTextContents(text)
        wizard.wait_text(edit, text, acc_name)

    def keys(self, keys):
        desktop.press(keys)


def open_wizard(app, slug):
    main = find_window(app, wizard.MAIN, role_name=None, timeout=20)
    new = find(main, "push button", "New Macro")
    wait_enabled(new)
    press(new, may_block=True)
    return Wizard(app, f"{desktop.name}-{slug}")


def make_advanced(app, macro_name, hot, shown, text):
    w = open_wizard(app, macro_name.lower())
    w.start("Create a macro using advanced options.", macro_name, hot, shown)
    w.shot("triggers")
    print("screenshot:", screenshot(f"{desktop.name}-{macro_name.lower()}-screen.png"))
    w.button("Next >")
    w.page("Create an advanced macro")
    w.type_into("Macro Text", text)
    w.shot("advanced")
    w.button("Next >")
    w.finish({"Macro Name Summary": macro_name, "Macro Type Summary": "Playback advanced macro",
              "Shortcut Keys Summary": shown, "Window Trigger Summary": "None"})
    wizard.wait_row(app, [macro_name, shown, ""])


def make_launch(app, command, parameter, title):
    w = open_wizard(app, "launch")
    w.start("Start an Application or Launch a Document", "Launcher", "ctrl+alt+l", "Ctrl+Alt+L",
            trigger=title)
    # Greeting's key reaches the box, which says whose it is, and runs nothing.
    box, line = w.control("text", "Hot Key"), w.control("label", "Hot Key Status")
    w.keys("ctrl+alt+g")
    try:
        wait_until(lambda: wizard.text_of(box) == "Ctrl+Alt+G"
                   and description(line) == HELD, "the box to explain Greeting's key")
        check("a macro's own hot key reaches the box, which names its macro", True)
    except E2EError as error:
        check("a macro's own hot key reaches the box, which names its macro", False,
              f"{error}; it reads {wizard.text_of(box)!r}: {description(line)!r}")
    w.shot("held")
    w.keys("ctrl+alt+l")
    wizard.wait_text(box, "Ctrl+Alt+L", "the hot-key box")
    w.button("Next >")
    w.page("Start an Application")
    w.type_into("Command Line", command)
    w.type_into("Parameters", parameter)
    w.shot("start-app")
    w.button("Next >")
    w.finish({"Macro Name Summary": "Launcher", "Macro Type Summary": "Start an Application",
              "Shortcut Keys Summary": "Ctrl+Alt+L", "Window Trigger Summary": title})
    wizard.wait_row(app, ["Launcher", "Ctrl+Alt+L", title])


def no_recording(app):
    """The recording page says why it cannot record here and keeps Start Recording off; the
    wizard then cancels, storing nothing."""
    w = open_wizard(app, "record")
    w.start(wizard.RECORDED, "Never Recorded", "ctrl+alt+r", "Ctrl+Alt+R")
    w.button("Next >")
    w.page("Record just keys or mouse and keys?")
    w.button("Next >")
    w.page("Record Keystrokes")
    note = w.control("label", "Recording Status")
    w.shot("record-keys")
    check("the recording page says recording needs X11",
          "recording needs an X11 session" in description(note), description(note))
    check("and Start Recording stays off", not enabled(w.control("push button", "Start Recording")))
    w.button("Cancel")
    press(find(wait_for_message_box(app, wizard.CANCEL_QUESTION), "push button", "Yes"))
    wait_window_gone(app, wizard.WIZARD)


def terminal(title, *command):
    process = desktop.terminal(title, *command)
    wait_until(lambda: desktop.window(title), f"the terminal {title!r} among the windows")
    return process


def typing_target(title, out):
    """A terminal running `cat > out`, with the focus once its cat reads."""
    process = terminal(title, "sh", "-c", 'exec cat > "$0"', out)
    wait_until(lambda: os.path.exists(out), f"the terminal {title!r} to start cat")
    wait_until(lambda: (desktop.window(title) or {}).get("focused"),
               f"the terminal {title!r} to have the focus")
    desktop.settle()
    return process


def ended(process, what, timeout=15):
    """Waits for a terminal whose cat the macro ended with Ctrl+D."""
    try:
        wait_until(lambda: process.poll() is not None, what, timeout)
        return True
    except E2EError:
        return False


def content(path):
    return wizard.file_bytes(path) or b""


def typed(path, wanted, what):
    """Checks a file against the text wanted; a long one's failure shows where they part."""
    got, want = content(path), wanted.encode()
    at = next((i for i, (a, b) in enumerate(zip(got, want)) if a != b), min(len(got), len(want)))
    check(what, got == want, f"{len(got)} bytes of {len(want)}, apart from byte {at}: "
          f"{got[max(0, at - 20):at + 40]!r} for {want[max(0, at - 20):at + 40]!r}")


def clipboard(*command, **options):
    return subprocess.run(["wl-paste", "--no-newline", *command], capture_output=True,
                          timeout=10, **options)


def greeting(app, work, data):
    make_advanced(app, "Greeting", "ctrl+alt+g", "Ctrl+Alt+G",
                  "<<ENTER>>".join(TYPED) + "<<ENTER>><<CTRL>>d")
    wizard.check_record(data, "Greeting", {"Type": "4", "HotKey": "49223",
                                           "FileName": "Greeting.key"})
    out = os.path.join(work, "greeting.txt")
    target = typing_target("Greeting Target", out)
    if desktop.clipboard:
        owner = subprocess.Popen(["wl-copy", "--foreground", CLIPBOARD],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        desktop.processes.append(owner)
        wait_until(lambda: clipboard().stdout == CLIPBOARD.encode(), "the user's clipboard")
    begun = time.monotonic()
    desktop.press("ctrl+alt+g")
    ended(target, "the hot key's text to end cat", timeout=60)
    took = time.monotonic() - begun
    wanted = "\n".join(TYPED) + "\n"
    print(f"{len(wanted)} characters typed in {took:.1f} s, {len(wanted) / took:.0f} a second")
    typed(out, wanted, "Ctrl+Alt+G types 2,000 ASCII, 2,000 CJK and mixed scripts exactly")
    print("screenshot:", screenshot(f"{desktop.name}-greeting.png"))
    if desktop.clipboard:
        kept = clipboard()
        check("the user's clipboard is as it was", kept.stdout == CLIPBOARD.encode(),
              f"it holds {kept.stdout[:80]!r}")


def launch(app, work):
    marker = os.path.join(work, "launched")
    command = os.path.join(work, "mark")
    with open(command, "w", encoding="utf-8") as script:
        script.write('#!/bin/sh\necho launched >>"$1"\n')
    os.chmod(command, 0o755)
    make_launch(app, command, marker, "Launch Me Now")
    terminal("Launch Me Now", "sleep", "60")
    try:
        wait_until(lambda: os.path.exists(marker), "the trigger's launch", 15)
        check("the window 'Launch Me Now' starts the program", True)
    except E2EError as error:
        check("the window 'Launch Me Now' starts the program", False, str(error))


def hop(app, work):
    """FOCUS moves the typing to the window named, whichever has the focus; LOOKFOR waits its
    limit for a window that never comes and goes on at once for one that does."""
    make_advanced(app, "Hop", "ctrl+alt+h", "Ctrl+Alt+H", HOP)
    left, right = os.path.join(work, "left.txt"), os.path.join(work, "right.txt")
    left_term = typing_target("Left Term", left)
    right_term = typing_target("Right Term", right)
    begun = time.monotonic()
    desktop.press("ctrl+alt+h")
    wait_until(lambda: content(right) == b"right\nwaited\n", "the text after a failed LOOKFOR")
    waited = time.monotonic() - begun
    check(f"LOOKFOR waits its 2 s for a window that is not there ({waited:.1f} s in all)",
          waited >= 2)
    terminal("Late Term", "sleep", "60")
    begun = time.monotonic()
    ended(right_term, "the right terminal's cat to end")
    found = time.monotonic() - begun
    check(f"LOOKFOR goes on once the window appears ({found:.1f} s)", found < 10)
    ended(left_term, "the left terminal's cat to end")
    typed(left, "left\n", "FOCUS puts the text in the left terminal")
    typed(right, "right\nwaited\nfound\n", "FOCUS puts the text in the right terminal, also "
          "back from the window that appeared")


def run(work, data, catalogue):
    wizard.catalogue = catalogue
    app = wait_for_app("Quorvel", timeout=20)
    main = find_window(app, wizard.MAIN, role_name=None, timeout=20)
    # What the main window says the desktop lacks, for person.sh to hold against the doctor.
    lacks = [name(a) for a in find_all(main) if name(a).startswith("Not on this desktop")]
    with open(os.path.join(work, "desktop-line.txt"), "w", encoding="utf-8") as out:
        out.write(lacks[0] if lacks else "")
    print("screenshot:", screenshot(f"{desktop.name}-0-desktop.png"))
    for label, step in [("no recording", lambda: no_recording(app)),
                        ("greeting", lambda: greeting(app, work, data)),
                        ("launch", lambda: launch(app, work)),
                        ("focus and look for", lambda: hop(app, work))]:
        began = time.monotonic()
        step()
        print(f"{label} took {time.monotonic() - began:.1f} s")
    # Its window stayed open all along, the focus moving between others.
    launches = content(os.path.join(work, "launched"))
    check("the trigger fired once for its window", launches == b"launched\n", launches)


def main():
    global desktop
    desktop = atspi_lib.screen_desktop = desktops.current()
    return drive(run, *sys.argv[1:4], name=desktop.name,
                 on_failure=tree_on_failure(desktop.name), cleanup=desktop.stop)


if __name__ == "__main__":
    sys.exit(main())
