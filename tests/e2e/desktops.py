# SPDX-License-Identifier: GPL-3.0-or-later
"""What a whole-program driver needs of the desktop it runs on, one class per desktop: the
person's keyboard, a terminal window with a title running a command, whether a window is
there and has the focus, and screenshots. The scenarios stay the same on each."""

import json
import os
import re
import shlex
import shutil
import struct
import subprocess
import tempfile
import time
import zlib

from atspi_lib import E2EError, sway_window, wait_until

# KDE's service cache tool: kbuildsycoca5 on Plasma 5, kbuildsycoca6 on Plasma 6.
KBUILDSYCOCA = shutil.which("kbuildsycoca6") or "kbuildsycoca5"

EVENT_CODES = "/usr/include/linux/input-event-codes.h"
MODIFIERS = {"ctrl": "LEFTCTRL", "alt": "LEFTALT", "shift": "LEFTSHIFT", "super": "LEFTMETA",
             "return": "ENTER", "escape": "ESC"}


def evdev_chord(keys):
    """xdotool's "ctrl+alt+g" as the evdev chord "29+56+34"."""
    with open(EVENT_CODES, encoding="utf-8") as header:
        codes = dict(re.findall(r"#define KEY_(\w+)\s+(\d+)", header.read()))
    names = [MODIFIERS.get(k.lower(), k.upper()) for k in keys.split("+")]
    missing = [n for n in names if n not in codes]
    if missing:
        raise E2EError(f"no evdev key for {missing} in {keys!r}")
    return "+".join(codes[n] for n in names)


def png(path, width, height, rows):
    """Writes 8-bit RGBA rows (bytes of width * 4 each) as a PNG."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n"
                  + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


class Sway:
    name = "wayland"  # the prefix of its screenshots
    # Whether a program may set the clipboard without the focus (data control).
    clipboard = True

    def __init__(self):
        self.processes = []

    def press(self, keys):
        """The modifiers held around the last key, through wtype."""
        *mods, last = keys.split("+")
        args = [arg for m in mods for arg in ("-M", m)]
        args += [last] if len(last) == 1 else ["-k", last]
        args += [arg for m in reversed(mods) for arg in ("-m", m)]
        subprocess.run(["wtype", *args], check=True, timeout=10)

    def terminal(self, title, *command):
        process = subprocess.Popen(["foot", f"--title={title}", *command],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def window(self, title):
        """None, or whether the window has the focus."""
        node = sway_window(title)
        return None if node is None else {"focused": node["focused"]}

    def settle(self):
        # foot crashes on a key that comes while it still starts, a moment past its shell's.
        time.sleep(0.3)

    def screenshot(self, path, around_title=None):
        # Qt's windows there know no place on the screen: sway tells where the window is.
        node = sway_window(around_title) if around_title else None
        where = []
        if node:
            box, title = node["rect"], node["deco_rect"]["height"]
            where = ["-g", f"{box['x']},{box['y'] - title} {box['width']}x{box['height'] + title}"]
        subprocess.run(["grim", *where, path], check=True, timeout=20, capture_output=True)

    def stop(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()


class Kde(Sway):
    """KWin: keys through the person's RemoteDesktop session (scripts/with-kwin.sh), windows
    told by a KWin script that calls back over D-Bus, screenshots through KWin's ScreenShot2
    (which KWin grants only with its permission checks off)."""

    name = "kde"
    SERVICE, PATH, IFACE = "org.quorvel.PersonTest", "/Windows", "org.quorvel.PersonTest"
    XML = (f"<node><interface name='{IFACE}'><method name='Report'>"
           "<arg type='s' direction='in'/></method></interface></node>")

    def __init__(self):
        super().__init__()
        from gi.repository import Gio, GLib
        self.Gio, self.GLib = Gio, GLib
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.reports = []
        info = Gio.DBusNodeInfo.new_for_xml(self.XML).interfaces[0]
        self.bus.register_object(self.PATH, info, self._on_call, None, None)
        self._call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                   "RequestName", GLib.Variant("(su)", (self.SERVICE, 4)))
        self.keys_log = os.environ["QUORVEL_PERSON_KEYS"] + ".log"
        self.keys_sent = 0
        self.folder = tempfile.mkdtemp(prefix="person-kde-")
        self.scripts = 0
        self._authorise_screenshots()

    def _authorise_screenshots(self):
        """KWin lets a program take screenshots when a desktop file with its executable asks
        for ScreenShot2; KWin reads desktop files through KDE's service cache."""
        folder = os.path.join(os.environ.get("XDG_DATA_HOME")
                              or os.path.expanduser("~/.local/share"), "applications")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "quorvel-person-test.desktop"), "w",
                  encoding="utf-8") as entry:
            entry.write("[Desktop Entry]\nType=Application\nName=Quorvel's person test\n"
                        f"Exec={os.path.realpath('/proc/self/exe')}\n"
                        "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n")
        subprocess.run([KBUILDSYCOCA], capture_output=True, timeout=60)

    def _on_call(self, _bus, _sender, _path, _iface, _method, params, invocation):
        self.reports.append(params.unpack()[0])
        invocation.return_value(None)

    def _call(self, service, path, iface, method, args, fds=None):
        flags = self.Gio.DBusCallFlags.NONE
        if fds is None:
            return self.bus.call_sync(service, path, iface, method, args, None, flags, 10000,
                                      None).unpack()
        reply, _ = self.bus.call_with_unix_fd_list_sync(service, path, iface, method, args,
                                                        None, flags, 10000, fds, None)
        return reply.unpack()

    def press(self, keys):
        """Written to the person's keyboard; back once it has pressed and released them."""
        with open(os.environ["QUORVEL_PERSON_KEYS"], "w", encoding="ascii") as fifo:
            fifo.write(evdev_chord(keys) + "\n")
        self.keys_sent += 1
        wanted = f"done {self.keys_sent}"

        def pressed():
            with open(self.keys_log, encoding="utf-8") as log:
                return wanted in log.read().split("\n")
        wait_until(pressed, f"the person's keyboard to press {keys}", 10)

    def terminal(self, title, *command):
        """weston-terminal has no --title: its shell sets the title with OSC 2 first."""
        self.scripts += 1
        script = os.path.join(self.folder, f"shell{self.scripts}.sh")
        with open(script, "w", encoding="utf-8") as out:
            out.write(f"#!/bin/sh\nprintf '\\033]2;%s\\007' {shlex.quote(title)}\n"
                      f"exec {shlex.join(command)}\n")
        os.chmod(script, 0o755)
        process = subprocess.Popen(["weston-terminal", f"--shell={script}"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def _script(self, body):
        """Runs a KWin script whose body may call report(value); returns the values."""
        self.scripts += 1
        name = f"person{os.getpid()}_{self.scripts}"
        path = os.path.join(self.folder, name + ".js")
        with open(path, "w", encoding="utf-8") as out:
            out.write("function report(v) { callDBus(%s, %s, %s, 'Report', JSON.stringify(v)); }\n"
                      "var all = workspace.clientList ? workspace.clientList()"
                      " : workspace.windowList();\n%s\n"
                      % (json.dumps(self.SERVICE), json.dumps(self.PATH),
                         json.dumps(self.IFACE), body))
        self.reports.clear()
        (number,) = self._call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                               "loadScript", self.GLib.Variant("(ss)", (path, name)))
        try:
            # Plasma 5's object path, then Plasma 6's.
            for script_path in (f"/{number}", f"/Scripting/Script{number}"):
                try:
                    self._call("org.kde.KWin", script_path, "org.kde.kwin.Script", "run",
                               None)
                    break
                except self.GLib.Error:
                    continue
            context, ends = self.GLib.MainContext.default(), time.monotonic() + 5
            while not self.reports and time.monotonic() < ends:
                context.iteration(False) or time.sleep(0.01)
        finally:
            self._call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                       self.GLib.Variant("(s)", (name,)))
        return [json.loads(r) for r in self.reports]

    def windows(self):
        """Every normal window: (caption, active, geometry)."""
        found = self._script(
            "var l = [];\nfor (var i = 0; i < all.length; ++i) {\n"
            "  var w = all[i], g = w.frameGeometry || w.geometry;\n"
            "  if (w.normalWindow) l.push([w.caption, w.active, [g.x, g.y, g.width, g.height]]);\n"
            "}\nreport(l);")
        return found[0] if found else []

    def window(self, title):
        match = next((w for w in self.windows() if w[0] == title), None)
        return None if match is None else {"focused": match[1]}

    def settle(self):
        # weston-terminal reads keys from its first frame on.
        time.sleep(0.1)

    def screenshot(self, path, around_title=None):
        # KWin sees the new service cache a moment after it was built.
        ends = time.monotonic() + 10
        while True:
            try:
                return self._screenshot(path, around_title)
            except E2EError as error:
                # KWin 6 run headless may have no screenshot plugin: the run goes on without.
                if "UnknownObject" in str(error):
                    print(f"(no screenshot {path}: KWin offers no ScreenShot2 here)")
                    return None
                if "NoAuthorized" not in str(error) or time.monotonic() > ends:
                    raise
                subprocess.run([KBUILDSYCOCA], capture_output=True, timeout=60)
                time.sleep(1)

    def _screenshot(self, path, around_title):
        read, write = os.pipe()
        fds = self.Gio.UnixFDList.new()
        index = fds.append(write)
        os.close(write)
        try:
            (meta,) = self._call("org.kde.KWin", "/org/kde/KWin/ScreenShot2",
                                 "org.kde.KWin.ScreenShot2", "CaptureActiveScreen",
                                 self.GLib.Variant("(a{sv}h)", ({}, index)), fds)
            del fds
            chunks = []
            while chunk := os.read(read, 1 << 20):
                chunks.append(chunk)
        except self.GLib.Error as error:
            raise E2EError(f"no screenshot {path}: {error.message}") from None
        finally:
            os.close(read)
        data, width, height = b"".join(chunks), meta["width"], meta["height"]
        stride = meta.get("stride", width * 4)
        # QImage's 32-bit formats are BGRA in memory on this machine.
        rows = []
        for y in range(height):
            line = data[y * stride:y * stride + width * 4]
            rgba = bytearray(line)
            rgba[0::4], rgba[2::4] = line[2::4], line[0::4]
            rgba[3::4] = b"\xff" * width
            rows.append(bytes(rgba))
        left, top, right, bottom = 0, 0, width, height
        box = next((w[2] for w in self.windows() if w[0] == around_title), None) \
            if around_title else None
        if box:
            left, top = max(0, int(box[0])), max(0, int(box[1]))
            right, bottom = min(width, left + int(box[2])), min(height, top + int(box[3]))
        png(path, right - left, bottom - top, [r[left * 4:right * 4] for r in rows[top:bottom]])


class Gnome(Sway):
    """GNOME Shell: keys through mutter's own remote-desktop input, windows as Quorvel's
    Shell extension lists them (the shell offers no other list), screenshots of the whole
    screen through the Screenshot portal."""

    name = "gnome"
    # Mutter offers no data control: wl-copy would take the focus from the target.
    clipboard = False
    MUTTER = "org.gnome.Mutter.RemoteDesktop"
    SHELL, SHELL_PATH = "example.ostrin.Quorvel.Shell", "/example/ostrin/Quorvel/Shell"
    SHELL_IFACE = SHELL + "1"

    def __init__(self):
        super().__init__()
        from gi.repository import Gio, GLib
        self.Gio, self.GLib = Gio, GLib
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        (self.session,) = self._call(self.MUTTER, "/org/gnome/Mutter/RemoteDesktop", self.MUTTER,
                                     "CreateSession", None)
        self._call(self.MUTTER, self.session, self.MUTTER + ".Session", "Start", None)
        # The portal asks once whether a program may take screenshots, and keeps the answer: a
        # person who said yes before.
        self._call("org.freedesktop.impl.portal.PermissionStore",
                   "/org/freedesktop/impl/portal/PermissionStore",
                   "org.freedesktop.impl.portal.PermissionStore", "SetPermission",
                   GLib.Variant("(sbssas)", ("screenshot", True, "screenshot", "", ["yes"])))
        # Mutter loses the first key after Start.
        self._key(42, True)
        self._key(42, False)

    def _call(self, service, path, iface, method, args):
        return self.bus.call_sync(service, path, iface, method, args, None,
                                  self.Gio.DBusCallFlags.NONE, 10000, None).unpack()

    def _key(self, code, pressed):
        self._call(self.MUTTER, self.session, self.MUTTER + ".Session", "NotifyKeyboardKeycode",
                   self.GLib.Variant("(ub)", (code, pressed)))

    def press(self, keys):
        codes = [int(k) for k in evdev_chord(keys).split("+")]
        for code in codes:
            self._key(code, True)
        for code in reversed(codes):
            self._key(code, False)

    def window(self, title):
        (found,) = self._call(self.SHELL, self.SHELL_PATH, self.SHELL_IFACE, "ListWindows",
                              None)
        match = next((w for w in found if w[1] == title), None)
        return None if match is None else {"focused": match[4]}

    def screenshot(self, path, around_title=None):
        """The whole screen: the portal gives no window's place."""
        Gio, GLib = self.Gio, self.GLib
        sender = self.bus.get_unique_name()[1:].replace(".", "_")
        token = f"person{os.getpid()}_{int(time.monotonic() * 1000)}"
        request = f"/org/freedesktop/portal/desktop/request/{sender}/{token}"
        answer = []
        sub = self.bus.signal_subscribe(None, "org.freedesktop.portal.Request", "Response",
                                        request, None, Gio.DBusSignalFlags.NONE,
                                        lambda *a: answer.append(a[-1].unpack()))
        try:
            self._call("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                       "org.freedesktop.portal.Screenshot", "Screenshot",
                       GLib.Variant("(sa{sv})", ("", {"handle_token": GLib.Variant("s", token),
                                                      "interactive": GLib.Variant("b", False)})))
            context, ends = GLib.MainContext.default(), time.monotonic() + 20
            while not answer and time.monotonic() < ends:
                context.iteration(False) or time.sleep(0.01)
        finally:
            self.bus.signal_unsubscribe(sub)
        if not answer or answer[0][0] != 0:
            raise E2EError(f"no screenshot {path}: the portal answered {answer}")
        uri = answer[0][1]["uri"]
        shutil.move(GLib.filename_from_uri(uri)[0], path)


def current():
    """The desktop the driver runs on, as the session tells."""
    if os.environ.get("SWAYSOCK"):
        return Sway()
    names = os.environ.get("XDG_CURRENT_DESKTOP", "").split(":")
    if "KDE" in names:
        return Kde()
    if "GNOME" in names:
        return Gnome()
    raise E2EError("no desktop this driver knows: no SWAYSOCK, XDG_CURRENT_DESKTOP not KDE "
                   "or GNOME")
