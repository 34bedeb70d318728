"""The tray icon as a person meets it on an XEmbed tray: the icon embedded in the tray, its
menu on a right click, the about box, the double click that opens the main window, and Exit.
Started by tray.sh with the quorvel process id, the program already running hidden.
Exit status 0 when every check passed."""

import subprocess
import sys
import time
import traceback

from atspi_lib import (
    E2EError, PopupWatcher, description, find, find_window, menu_items, press, screenshot,
    wait_for_app, wait_until, x_window_visible, xdotool,
)

MAIN = "Ostrin Quorvel"
MENU = [("Open", True), ("Print Macro List", True), ("Help", True),
        ("Visit Ostrin on the Web...", True), ("Exit", True)]

failures = []


def check(what, ok, detail=""):
    print(f"{'ok' if ok else 'FAIL'}: {what}{': ' + detail if detail and not ok else ''}")
    if not ok:
        failures.append(what)


def icon_window(pid):
    """The X window of our icon embedded in the tray: ours, mapped, small."""
    def probe():
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid), ""],
                               capture_output=True, text=True, timeout=10).stdout.split()
        for window in found:
            geometry = xdotool("getwindowgeometry", window)
            size = geometry.split("Geometry:")[1].split()[0]
            width, height = (int(v) for v in size.split("x"))
            if width <= 64 and height <= 64:
                return window
        return None
    return wait_until(probe, "the tray icon's window", 15)


def open_menu(window):
    with PopupWatcher() as popups:
        xdotool("mousemove", "--window", window, "5", "5")
        xdotool("click", "3")
        return popups.wait()


def run(pid):
    app = wait_for_app("Quorvel", timeout=20)
    window = icon_window(pid)
    check("the icon is embedded in the tray", window is not None)
    check("the main window stays hidden at start", not x_window_visible(MAIN))

    menu = open_menu(window)
    check("right click opens the tray menu", menu_items(menu) == MENU, str(menu_items(menu)))
    print("screenshot:", screenshot("tray_menu.png"))
    help_menu = find(menu, None, "Help")
    press(help_menu)
    time.sleep(0.5)
    about = find(help_menu, None, "About...")
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

    xdotool("mousemove", "--window", window, "5", "5")
    xdotool("click", "1")
    time.sleep(0.8)
    check("a single click opens nothing", not x_window_visible(MAIN))
    xdotool("click", "--repeat", "2", "--delay", "80", "1")
    wait_until(lambda: x_window_visible(MAIN), "the main window after a double click", 10)
    check("a double click opens the main window", True)

    menu = open_menu(window)
    press(find(menu, None, "Exit"))


def main():
    try:
        run(int(sys.argv[1]))
    except E2EError as error:
        failures.append(str(error))
        print(f"FAIL: {error}")
    except Exception:  # noqa: BLE001
        traceback.print_exc()
        failures.append("unexpected error")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
