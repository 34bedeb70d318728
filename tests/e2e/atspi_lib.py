# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives a running Qt program over AT-SPI the way an assistive tool does, for the
whole-program tests. Run with Debian's /usr/bin/python3 (it has pyatspi).

Every wait is bounded and ends in E2EError with a message saying what was awaited. The
client side of AT-SPI caches names, states and child lists and learns of changes only
through events, so every poll first dispatches pending events and drops the cache of what
it reads: a status bar's old message or a window's old child list is never read back.

`python3 atspi_lib.py dump [APP]` prints an application's tree, for writing a test.
"""

import json
import os
import subprocess
import sys
import time
import traceback

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

DEFAULT_TIMEOUT = 10.0
POLL = 0.1
# libatspi's own bounds on a call: a reply, and a reply from a program still starting.
CALL_TIMEOUT_MS, STARTUP_TIMEOUT_MS = 800, 15000
Atspi.set_timeout(CALL_TIMEOUT_MS, STARTUP_TIMEOUT_MS)


class E2EError(Exception):
    pass


def pump():
    """Dispatches the accessibility events that have arrived, without blocking."""
    context = GLib.MainContext.default()
    for _ in range(1000):
        if not context.iteration(False):
            break


def fresh(acc):
    """acc with its cached properties and children dropped."""
    try:
        acc.clear_cache()
    except Exception:  # an object already gone has nothing to clear
        pass
    return acc


def wait_until(probe, what, timeout=DEFAULT_TIMEOUT):
    """Polls probe until it returns something true and returns that; an exception inside
    probe (an object that vanished between two calls) counts as not yet."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        pump()
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # noqa: BLE001 - the tree changes under us
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise E2EError(f"timed out after {timeout:g} s waiting for {what}{detail}")
        time.sleep(POLL)


# Newer AT-SPI names some roles anew; the tests use the older names.
OLDER_ROLE_NAMES = {"button": "push button"}


def role(acc):
    name = acc.getRoleName()
    return OLDER_ROLE_NAMES.get(name, name)


def name(acc):
    return fresh(acc).name or ""


def description(acc):
    """A value label's text: such labels carry it as their description."""
    return fresh(acc).description or ""


def children(acc):
    fresh(acc)
    result = []
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            result.append(child)
    return result


def has_state(acc, state):
    return fresh(acc).getState().contains(state)


def enabled(acc):
    return has_state(acc, pyatspi.STATE_ENABLED) and has_state(acc, pyatspi.STATE_SENSITIVE)


def showing(acc):
    return has_state(acc, pyatspi.STATE_SHOWING)


def describe(acc):
    try:
        return f"{role(acc)} {name(acc)!r}"
    except Exception:  # noqa: BLE001
        return "<gone>"


# Finding things ------------------------------------------------------------------------


def applications():
    desktop = fresh(pyatspi.Registry.getDesktop(0))
    return children(desktop)


def wait_for_app(app_name="Quorvel", timeout=20.0):
    def probe():
        for app in applications():
            if name(app) == app_name:
                return app
        return None

    return wait_until(probe, f"the application {app_name!r} on the accessibility bus", timeout)


def top_levels(app):
    """Every child of a Qt application is one of its windows, whatever its role (a widget
    shown on its own is a filler, a read-only text browser a label)."""
    return children(app)


def descendants(root, max_depth=12):
    """Depth first, root excluded; a table's cells are not entered (read them as rows)."""
    stack = [(root, 0)]
    while stack:
        acc, depth = stack.pop()
        if acc is not root:
            yield acc
        if depth >= max_depth or role(acc) in ("table cell", "tree item", "column header"):
            continue
        kids = children(acc)
        if role(acc) in ("table", "tree table", "tree") and len(kids) > 200:
            continue
        stack.extend((child, depth + 1) for child in reversed(kids))


def matches(acc, role_name=None, acc_name=None):
    return (role_name is None or role(acc) == role_name) and (
        acc_name is None or name(acc) == acc_name
    )


def find_all(root, role_name=None, acc_name=None):
    return [a for a in descendants(root) if matches(a, role_name, acc_name)]


def find(root, role_name=None, acc_name=None, timeout=DEFAULT_TIMEOUT, index=0):
    """The index-th descendant with that role and name (two controls of one caption are
    told apart by their order)."""

    def probe():
        found = find_all(root, role_name, acc_name)
        return found[index] if len(found) > index else None

    what = f"{role_name or 'anything'} named {acc_name!r} in {describe(root)}"
    return wait_until(probe, what, timeout)


def find_window(app, window_name, role_name="frame", timeout=DEFAULT_TIMEOUT):
    def probe():
        for w in top_levels(app):
            if matches(w, role_name, window_name) and showing(w):
                return w
        return None

    return wait_until(probe, f"the window {window_name!r} ({role_name}) to show", timeout)


def wait_window_gone(app, window_name, timeout=DEFAULT_TIMEOUT):
    def probe():
        return not any(name(w) == window_name and showing(w) for w in top_levels(app))

    wait_until(probe, f"the window {window_name!r} to close or hide", timeout)


def find_window_with(app, predicate, what, timeout=DEFAULT_TIMEOUT, exclude=()):
    """The first showing top-level window of app that predicate accepts, or that holds a
    descendant predicate accepts; returns (window, that window or descendant)."""

    def probe():
        for w in top_levels(app):
            if name(w) in exclude or not showing(w):
                continue
            for acc in [w, *descendants(w)]:
                if predicate(acc):
                    return (w, acc)
        return None

    return wait_until(probe, what, timeout)


def explain_dialog(script, error, dialog=None):
    """Says on stderr why a script that answers a desktop's dialog failed: every application's
    windows, or the dialog's contents once it was found."""
    print("%s: %s" % (script, error), file=sys.stderr)
    for app in applications() if not dialog else []:
        print("  %s: %s" % (name(app), [describe(w) for w in top_levels(app)]), file=sys.stderr)
    for acc in descendants(dialog, 30) if dialog else []:
        print("  %s" % describe(acc), file=sys.stderr)


def wait_for_message_box(app, text, timeout=DEFAULT_TIMEOUT):
    """The showing window that says text (as a label's name or description, or as the
    window's own description), such as a question box."""

    def says(acc):
        return text in (name(acc), description(acc))

    def probe():
        for w in top_levels(app):
            if not showing(w):
                continue
            if description(w) == text or any(says(a) for a in descendants(w)):
                return w
        return None

    return wait_until(probe, f"a message box saying {text!r}", timeout)


# Tables ---------------------------------------------------------------------------------


def rows(table):
    """The cells' texts, row by row, through the table interface."""
    fresh(table)
    itable = table.queryTable()
    result = []
    for r in range(itable.nRows):
        result.append([name(itable.getAccessibleAt(r, c)) for c in range(itable.nColumns)])
    return result


def cell(table, row, column=0):
    fresh(table)
    itable = table.queryTable()
    if row >= itable.nRows or column >= itable.nColumns:
        raise E2EError(
            f"no cell ({row}, {column}) in a table of {itable.nRows} x {itable.nColumns}"
        )
    return itable.getAccessibleAt(row, column)


def wait_rows(table, wanted, timeout=DEFAULT_TIMEOUT):
    def probe():
        return rows(table) == wanted

    try:
        wait_until(probe, f"the rows {wanted}", timeout)
    except E2EError as error:
        raise E2EError(f"{error}; the table shows {rows(table)}") from None


# Mouse, keyboard and actions ------------------------------------------------------------


def extents(acc, coords=pyatspi.DESKTOP_COORDS):
    """(x, y, width, height) on the screen, or within its window with WINDOW_COORDS."""
    box = fresh(acc).queryComponent().getExtents(coords)
    return (box.x, box.y, box.width, box.height)


def xdotool(*args):
    try:
        return subprocess.run(["xdotool", *args], check=True, timeout=10, capture_output=True,
                              text=True).stdout
    except (subprocess.SubprocessError, OSError) as error:
        raise E2EError(f"xdotool {' '.join(args)} failed: {error}") from None


def pointer():
    fields = dict(f.split(":", 1) for f in xdotool("getmouselocation").split() if ":" in f)
    return (int(fields["x"]), int(fields["y"]))


def click(acc, button=1, double=False):
    """Moves the pointer to the middle of acc and clicks there, as a person would."""
    x, y, width, height = extents(acc)
    if width <= 0 or height <= 0:
        raise E2EError(f"{describe(acc)} has no area on the screen ({x}, {y}, {width}, {height})")
    cx, cy = x + width // 2, y + height // 2
    # --sync waits for a motion, which never comes when the pointer is already there.
    if pointer() != (cx, cy):
        xdotool("mousemove", "--sync", str(cx), str(cy))
    clicks = ["click", "--repeat", "2", "--delay", "80"] if double else ["click"]
    xdotool(*clicks, str(button))
    return (cx, cy)


def key(*keys):
    """Key presses sent to the focused window."""
    xdotool("key", "--clearmodifiers", *keys)


def activate_window(title, timeout=DEFAULT_TIMEOUT):
    def probe():
        found = subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
            capture_output=True, text=True, timeout=10,
        ).stdout.split()
        if not found:
            return None
        subprocess.run(["xdotool", "windowactivate", "--sync", found[0]],
                       capture_output=True, timeout=10)
        active = subprocess.run(["xdotool", "getactivewindow"],
                                capture_output=True, text=True, timeout=10).stdout.strip()
        return active == found[0]

    wait_until(probe, f"the window {title!r} to become active", timeout)


def x_window_visible(title):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                           capture_output=True, text=True, timeout=10)
    return bool(found.stdout.strip())


def press(acc, may_block=False):
    """Runs acc's press (or click) action. An action that opens a modal dialog may not
    answer until the dialog closes: with may_block the call's time-out is cut short and
    ignored, and the caller waits for the dialog instead."""
    action = fresh(acc).queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("press", "click", "activate", "toggle"):
        for i, action_name in enumerate(names):
            if action_name.lower() == wanted:
                if not may_block:
                    action.doAction(i)
                    return
                Atspi.set_timeout(300, STARTUP_TIMEOUT_MS)
                try:
                    action.doAction(i)
                except Exception:  # noqa: BLE001 - the reply waits for the dialog
                    pass
                finally:
                    Atspi.set_timeout(CALL_TIMEOUT_MS, STARTUP_TIMEOUT_MS)
                return
    raise E2EError(f"{describe(acc)} offers no press action (it has {names})")


def wait_enabled(acc, wanted=True, timeout=DEFAULT_TIMEOUT):
    state = "enabled" if wanted else "disabled"
    wait_until(lambda: enabled(acc) == wanted, f"{describe(acc)} to be {state}", timeout)


def wait_name(acc, wanted, timeout=DEFAULT_TIMEOUT):
    """For objects whose name is their value, such as a status bar."""
    try:
        wait_until(lambda: name(acc) == wanted, f"{role(acc)} to read {wanted!r}", timeout)
    except E2EError as error:
        raise E2EError(f"{error}; it reads {name(acc)!r}") from None


# Popup menus ----------------------------------------------------------------------------


class PopupWatcher:
    """Popup menus are no children of their application in the tree; they are seen only
    through the events of their showing. Open the watcher before the menu:

        with PopupWatcher() as popups:
            click(row, button=3)
            menu = popups.wait()
    """

    EVENTS = ("object:state-changed:showing", "window:create", "object:state-changed:visible")
    ROLES = ("popup menu", "menu", "window")

    def __init__(self):
        self.seen = []
        self.listener = Atspi.EventListener.new(self._on_event)

    def __enter__(self):
        for event in self.EVENTS:
            self.listener.register(event)
        # The program learns of new listeners over the bus; let that arrive first.
        end = time.monotonic() + 0.5
        while time.monotonic() < end:
            pump()
            time.sleep(0.02)
        return self

    def __exit__(self, *exc):
        for event in self.EVENTS:
            try:
                self.listener.deregister(event)
            except Exception:  # noqa: BLE001
                pass
        return False

    def _on_event(self, event):
        try:
            source = event.source
            if source is not None and source.get_role_name() in self.ROLES:
                self.seen.append(source)
        except Exception:  # noqa: BLE001 - a source that is already gone
            pass

    def wait(self, timeout=DEFAULT_TIMEOUT):
        def probe():
            for menu in reversed(self.seen):
                try:
                    if role(menu) in ("popup menu", "menu") and showing(menu):
                        return menu
                except Exception:  # noqa: BLE001
                    continue
            return None

        return wait_until(probe, "a popup menu to show", timeout)


def menu_items(menu):
    """(name, enabled) of each item; separators left out."""
    result = []
    for item in children(menu):
        if role(item) in ("menu item", "menu", "check menu item", "radio menu item"):
            result.append((name(item), enabled(item)))
    return result


# Screenshots ----------------------------------------------------------------------------


def artifacts_dir():
    folder = os.environ.get("QUORVEL_ARTIFACTS") or os.path.join("build", "test", "artifacts")
    os.makedirs(folder, exist_ok=True)
    return folder


def on_wayland():
    return bool(os.environ.get("WAYLAND_DISPLAY")) and not os.environ.get("DISPLAY")


def sway_windows():
    """Every window sway manages, tiled or floating, as (title, node) pairs."""
    tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], check=True, timeout=10,
                                     capture_output=True, text=True).stdout)
    stack, found = [tree], []
    while stack:
        node = stack.pop()
        if node.get("type") in ("con", "floating_con") and node.get("pid"):
            found.append((node.get("name") or "", node))
        stack.extend(node.get("nodes", []) + node.get("floating_nodes", []))
    return found


def sway_window(title):
    return next((node for name_, node in sway_windows() if name_ == title), None)


# The desktop (see desktops.py) that takes the screenshots, when a driver names one.
screen_desktop = None


def screenshot(file_name, around=None):
    """The screen as a PNG in the artifacts folder, or only the part around a window
    (its frame and title bar included); returns its path."""
    path = os.path.join(artifacts_dir(), file_name)
    if screen_desktop is not None:
        try:
            screen_desktop.screenshot(path, name(around) if around is not None else None)
        except (subprocess.SubprocessError, OSError) as error:
            raise E2EError(f"no screenshot {path}: {error}") from None
        return path
    if on_wayland():
        # Qt's windows there know no place on the screen: sway tells where the window is.
        node = sway_window(name(around)) if around is not None else None
        where = []
        if node:
            box, title = node["rect"], node["deco_rect"]["height"]
            where = ["-g", f"{box['x']},{box['y'] - title} {box['width']}x{box['height'] + title}"]
        try:
            subprocess.run(["grim", *where, path], check=True, timeout=20, capture_output=True)
        except (subprocess.SubprocessError, OSError) as error:
            raise E2EError(f"no screenshot {path}: {error}") from None
        return path
    crop = []
    if around is not None:
        x, y, width, height = extents(around)
        left, top = max(0, x - 8), max(0, y - 32)
        crop = ["-crop", f"{width + (x - left) + 8}x{height + (y - top) + 8}+{left}+{top}",
                "+repage"]
    try:
        subprocess.run(["import", "-window", "root", *crop, path], check=True, timeout=20,
                       capture_output=True)
    except (subprocess.SubprocessError, OSError) as error:
        raise E2EError(f"no screenshot {path}: {error}") from None
    return path


# Reading the tree by hand ---------------------------------------------------------------


def dump(acc, depth=0, out=sys.stdout, max_depth=12):
    extra = ""
    try:
        if description(acc):
            extra += f" desc={description(acc)!r}"
        if not enabled(acc):
            extra += " disabled"
        if not showing(acc):
            extra += " hidden"
    except Exception:  # noqa: BLE001
        pass
    print(f"{'  ' * depth}{describe(acc)}{extra}", file=out)
    if depth < max_depth:
        for child in children(acc):
            dump(child, depth + 1, out, max_depth)


# What a driver found wrong; it ends with status 1 when this is not empty.
failures = []


def check(what, ok, detail=""):
    if ok:
        print(f"ok: {what}")
    else:
        failures.append(what)
        print(f"FAIL: {what}{': ' + detail if detail else ''}")


def drive(run, *args, name, on_failure=None, cleanup=None):
    """Runs a driver's steps and returns its exit status. A fault ends the run with a
    screenshot (NAME-failure.png) and what on_failure adds; cleanup runs whatever happened."""
    started = time.monotonic()
    try:
        run(*args)
    except Exception as error:  # noqa: BLE001 - any fault ends the run with a picture
        failures.append(str(error))
        if not isinstance(error, E2EError):
            traceback.print_exc()
        print(f"FAIL: {error}")
        try:
            shot = screenshot(f"{name}-failure.png")
            print("screenshot:", shot)
            if on_failure:
                on_failure(shot)
        except Exception as shot_error:  # noqa: BLE001
            print(f"(no screenshot: {shot_error})")
    finally:
        if cleanup:
            cleanup()
    print(f"driver took {time.monotonic() - started:.1f} s")
    return 1 if failures else 0


def tree_on_failure(name):
    """An on_failure for drive: the program's tree beside the failure's screenshot."""

    def save(shot):
        tree = os.path.join(os.path.dirname(shot), f"{name}-failure-tree.txt")
        with open(tree, "w", encoding="utf-8") as out:
            dump(wait_for_app("Quorvel", timeout=2), out=out)
        print("accessibility tree:", tree)

    return save


def read_ini(path):
    """Sections in file order, each a dict of its keys (case kept)."""
    sections, current = {}, None
    with open(path, encoding="utf-8", errors="replace") as file:
        for line in file:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif current is not None and "=" in line:
                k, v = line.split("=", 1)
                current[k] = v
    return sections


def visible(root):
    """root's showing descendants, depth first; hidden pages are not entered, which keeps
    each look at a window to a few dozen calls over the bus."""
    stack = list(reversed(children(root)))
    while stack:
        acc = stack.pop()
        if not showing(acc):
            continue
        yield acc
        stack.extend(reversed(children(acc)))


if __name__ == "__main__":
    if len(sys.argv) >= 2 and sys.argv[1] == "dump":
        dump(wait_for_app(sys.argv[2] if len(sys.argv) > 2 else "Quorvel"))
    else:
        print(__doc__)
