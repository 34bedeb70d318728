#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A person's keyboard on a desktop that offers the RemoteDesktop portal (or, with --mutter,
GNOME's own remote desktop service, which asks nobody): a session of its own, apart from
Quorvel's, held open while it runs.

Reads lines from the FIFO named as its argument. Each line is a list of chords separated by
blanks; a chord is evdev keycodes joined by "+", pressed in order and released in reverse
("29+56+34" is Ctrl+Alt+G). Writes "ready" once the session has started, and "done N" after
the Nth line, to standard output.
"""
import os
import sys
import time

from gi.repository import Gio, GLib

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
IFACE = "org.freedesktop.portal.RemoteDesktop"


class Portal:
    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        sender = self.bus.get_unique_name()[1:].replace(".", "_")
        self.request_prefix = f"/org/freedesktop/portal/desktop/request/{sender}/"
        self.counter = 0

    def request(self, method, args_before, options, timeout=20):
        """Calls a method answering with a Request; returns the Response's (code, results)."""
        self.counter += 1
        token = f"person{os.getpid()}_{self.counter}"
        options["handle_token"] = GLib.Variant("s", token)
        answer = {}
        loop = GLib.MainLoop()

        def on_response(_bus, _sender, _path, _iface, _signal, params):
            answer["code"], answer["results"] = params.unpack()
            loop.quit()

        sub = self.bus.signal_subscribe(PORTAL, "org.freedesktop.portal.Request", "Response",
                                        self.request_prefix + token, None,
                                        Gio.DBusSignalFlags.NO_MATCH_RULE, on_response)
        # The match itself, added before the call so the answer cannot be missed.
        rule = (f"type='signal',interface='org.freedesktop.portal.Request',"
                f"path='{self.request_prefix}{token}'")
        self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "AddMatch", GLib.Variant("(s)", (rule,)),
                           None, Gio.DBusCallFlags.NONE, -1, None)
        signature = "(" + "".join(a[0] for a in args_before) + "a{sv})"
        values = tuple(a[1] for a in args_before) + (options,)
        self.bus.call_sync(PORTAL, PATH, IFACE, method, GLib.Variant(signature, values), None,
                           Gio.DBusCallFlags.NONE, -1, None)
        GLib.timeout_add_seconds(timeout, loop.quit)
        loop.run()
        self.bus.signal_unsubscribe(sub)
        if "code" not in answer:
            raise RuntimeError(f"{method}: no answer")
        return answer["code"], answer["results"]

    def start_keyboard(self):
        code, results = self.request("CreateSession", [], {
            "session_handle_token": GLib.Variant("s", f"person{os.getpid()}")})
        if code != 0:
            raise RuntimeError(f"CreateSession answered {code}")
        self.session = results["session_handle"]
        code, _ = self.request("SelectDevices", [("o", self.session)],
                               {"types": GLib.Variant("u", 1)})
        if code != 0:
            raise RuntimeError(f"SelectDevices answered {code}")
        # Right after the portal starts, Start may answer 2 once.
        for attempt in range(5):
            code, _ = self.request("Start", [("o", self.session), ("s", "")], {})
            if code == 0:
                return
            time.sleep(0.5)
        raise RuntimeError(f"Start answered {code}")

    def key(self, keycode, pressed):
        self.bus.call_sync(PORTAL, PATH, IFACE, "NotifyKeyboardKeycode",
                           GLib.Variant("(oa{sv}iu)", (self.session, {}, keycode,
                                                       1 if pressed else 0)),
                           None, Gio.DBusCallFlags.NONE, -1, None)


class Mutter:
    """GNOME's org.gnome.Mutter.RemoteDesktop: no dialog, for a test's own keyboard."""

    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        reply = self.bus.call_sync("org.gnome.Mutter.RemoteDesktop",
                                   "/org/gnome/Mutter/RemoteDesktop",
                                   "org.gnome.Mutter.RemoteDesktop", "CreateSession", None,
                                   GLib.VariantType("(o)"), Gio.DBusCallFlags.NONE, -1, None)
        self.session = reply.unpack()[0]
        self.call("Start", None)
        # The first key after Start is lost.
        self.key(42, True)
        self.key(42, False)

    def call(self, method, args):
        self.bus.call_sync("org.gnome.Mutter.RemoteDesktop", self.session,
                           "org.gnome.Mutter.RemoteDesktop.Session", method, args, None,
                           Gio.DBusCallFlags.NONE, -1, None)

    def start_keyboard(self):
        pass

    def key(self, keycode, pressed):
        self.call("NotifyKeyboardKeycode", GLib.Variant("(ub)", (keycode, pressed)))


def main():
    mutter = sys.argv[1] == "--mutter"
    fifo = sys.argv[2] if mutter else sys.argv[1]
    portal = Mutter() if mutter else Portal()
    portal.start_keyboard()
    print("ready", flush=True)
    lines = 0
    while True:
        with open(fifo) as source:
            for line in source:
                for chord in line.split():
                    keys = [int(k) for k in chord.split("+")]
                    for k in keys:
                        portal.key(k, True)
                    for k in reversed(keys):
                        portal.key(k, False)
                lines += 1
                print(f"done {lines}", flush=True)


if __name__ == "__main__":
    main()
