#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The person's keyboard of the GNOME tests: mutter's own remote-desktop input, apart from
Quorvel's. Its first key after Start is lost, so each session begins with Shift.

Usage: keyboard.py press KEY+KEY... [TIMES]  presses evdev keys together, released in reverse
                                              order, TIMES times (default 1) a quarter second
                                              apart; prints the monotonic time of each press
       keyboard.py type FILE                  types the file's characters, one blocking call
                                              per key event (keysyms; Return for a line
                                              break); prints characters a second"""

import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

SERVICE = "org.gnome.Mutter.RemoteDesktop"
SHIFT = 42
RETURN = 0xFF0D


class Keyboard:
    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        reply = self.bus.call_sync(
            SERVICE, "/org/gnome/Mutter/RemoteDesktop", SERVICE, "CreateSession", None,
            GLib.VariantType("(o)"), Gio.DBusCallFlags.NONE, -1, None)
        self.session = reply.unpack()[0]
        self.call("Start")
        self.key(SHIFT, True)
        self.key(SHIFT, False)

    def call(self, method, signature=None, *args):
        parameters = GLib.Variant(signature, args) if signature else None
        self.bus.call_sync(SERVICE, self.session, SERVICE + ".Session", method, parameters,
                           None, Gio.DBusCallFlags.NONE, -1, None)

    def key(self, code, pressed):
        self.call("NotifyKeyboardKeycode", "(ub)", code, pressed)

    def keysym(self, sym, pressed):
        self.call("NotifyKeyboardKeysym", "(ub)", sym, pressed)

    def stop(self):
        self.call("Stop")


def keysym_of(ch):
    if ch == "\n":
        return RETURN
    code = ord(ch)
    return code if code < 0x100 else 0x1000000 + code


def main(argv):
    keyboard = Keyboard()
    try:
        if argv[1:2] == ["press"] and len(argv) in (3, 4):
            keys = [int(k) for k in argv[2].split("+")]
            for _ in range(int(argv[3]) if len(argv) == 4 else 1):
                print("%.6f" % time.monotonic(), flush=True)
                for k in keys:
                    keyboard.key(k, True)
                for k in reversed(keys):
                    keyboard.key(k, False)
                time.sleep(0.25)
            return 0
        if argv[1:2] == ["type"] and len(argv) == 3:
            with open(argv[2], encoding="utf-8") as f:
                text = f.read()
            start = time.monotonic()
            for ch in text:
                keyboard.keysym(keysym_of(ch), True)
                keyboard.keysym(keysym_of(ch), False)
            print("%.1f" % (len(text) / (time.monotonic() - start)))
            return 0
    finally:
        keyboard.stop()
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
