# SPDX-License-Identifier: GPL-3.0-or-later
"""The tray icon as a person meets it on an XEmbed tray: the icon embedded in the tray, its
menu on a right click, the about box, the double click that opens the main window, and Exit.
Started by tray.sh with the quorvel process id, the program already running hidden, and
"exit" to choose only Exit.
Exit status 0 when every check passed."""

import subprocess
import sys
import time
import traceback

from atspi_lib import (
    check, click, description, E2EError, failures, find, find_window, menu_items, pointer,
    PopupWatcher, press, screenshot, showing, wait_for_app, wait_until,
    x_window_visible, xdotool,
)

MAIN = "Ostrin Quorvel"
MENU = [("Open", True), ("Print Macro List", True), ("Help", True),
        ("Visit Ostrin on the Web...", True), ("Start with the Desktop", True),
        ("Exit", True)]


def icon_window(pid):
    """(window, x, y) of our icon embedded in the tray: our window that carries the
    embedding property, and its middle on the screen. (A search by process id also
    answers windows that carry none, the root window among them.)"""
    def probe():
        found = subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--classname", "^quorvel$"],
            capture_output=True, text=True, timeout=10).stdout.split()
        for window in found:
            props = subprocess.run(["xprop", "-id", window, "_XEMBED_INFO", "_NET_WM_PID"],
                                   capture_output=True, text=True, timeout=10).stdout
            if "_XEMBED_INFO(" not in props or f"= {pid}" not in props:
                continue
            info = subprocess.run(["xwininfo", "-id", window], capture_output=True,
                                  text=True, timeout=10).stdout
            fields = dict(line.strip().split(":", 1) for line in info.splitlines()
                          if ":" in line and not line.startswith("xwininfo"))
            x, y = int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"])
            width, height = int(fields["Width"]), int(fields["Height"])
            if 0 < width <= 64 and 0 < height <= 64:
                return (window, x + width // 2, y + height // 2)
        return None
    return wait_until(probe, "the tray icon's window", 15)


def point_at(icon):
    _, x, y = icon
    # --sync waits for a motion that never comes when the pointer is already there.
    if pointer() != (x, y):
        xdotool("mousemove", "--sync", str(x), str(y))


def open_menu(icon):
    with PopupWatcher() as popups:
        point_at(icon)
        xdotool("click", "3")
        return popups.wait()


def run(pid):
    app = wait_for_app("Quorvel", timeout=20)
    icon = icon_window(pid)
    check("the icon is embedded in the tray", icon is not None)
    check("the main window stays hidden at start", not x_window_visible(MAIN))

    menu = open_menu(icon)
    check("right click opens the tray menu", menu_items(menu) == MENU, str(menu_items(menu)))
    print("screenshot:", screenshot("tray_menu.png"))
    help_menu = find(menu, None, "Help")
    # A submenu's item offers only "ShowMenu"; a person points at it.
    click(help_menu)
    about = find(help_menu, None, "About...")
    wait_until(lambda: showing(about), "the Help submenu to show", 10)
    press(about, may_block=True)
    box = find_window(app, "About Quorvel", role_name=None, timeout=10)
    memory = find(box, None, "Physical Memory")
    resources = find(box, None, "System Resources")
    check("about box: memory in KB", description(memory).endswith(" KB"), description(memory))
    check("about box: resources free", description(resources).endswith("% Free"),
          description(resources))
    print("screenshot:", screenshot("about_box.png", around=box))
    press(find(box, "push button", "OK"))
    wait_until(lambda: not x_window_visible("About Quorvel"), "the about box to close", 10)

    point_at(icon)
    xdotool("click", "1")
    time.sleep(0.8)
    check("a single click opens nothing", not x_window_visible(MAIN))
    xdotool("click", "--repeat", "2", "--delay", "80", "1")
    wait_until(lambda: x_window_visible(MAIN), "the main window after a double click", 10)
    check("a double click opens the main window", True)

    menu = open_menu(icon)
    press(find(menu, None, "Exit"))


def exit_only(pid):
    wait_for_app("Quorvel", timeout=20)
    menu = open_menu(icon_window(pid))
    press(find(menu, None, "Exit"))


def main():
    try:
        # "exit": only Exit from the icon's menu, the main window never opened.
        (exit_only if sys.argv[2:] == ["exit"] else run)(int(sys.argv[1]))
    except E2EError as error:
        failures.append(str(error))
        print(f"FAIL: {error}")
    except Exception:  # noqa: BLE001
        traceback.print_exc()
        failures.append("unexpected error")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
