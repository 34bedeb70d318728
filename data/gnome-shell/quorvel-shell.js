// SPDX-License-Identifier: GPL-3.0-or-later
// What Quorvel needs from the shell, on the session bus: the windows, a keyboard and a pointer
// of its own, pastes through the shell's clipboard, and global hot keys. The shell's namespaces
// come as parameters, so one file serves both extension formats (see the entry files).
/* exported QuorvelShell */

const QUORVEL_BUS_NAME = 'example.ostrin.Quorvel.Shell';
const QUORVEL_OBJECT_PATH = '/example/ostrin/Quorvel/Shell';
const QUORVEL_INTERFACE = 'example.ostrin.Quorvel.Shell1';
const QUORVEL_INTERFACE_VERSION = 4;

// Windows are (id, title, wm_class, minimized, focused), topmost first. Keys are evdev codes
// with pressed true or false. Text types text the layout lacks, after the keys before it have
// reached the focused program: through the input method where the program takes it, else
// pasted (vKey: the evdev code of the layout's V key); it answers "commit" or "paste".
// Pointer calls (version 2 on) go in the same order as keys: positions in the stage's
// coordinates, buttons as Clutter numbers them (1 left, 2 middle, 3 right, 8 back, 9 forward),
// scroll steps as Clutter's directions (0 up, 1 down, 2 left, 3 right). Settle answers once
// the keys sent before it have reached the focused program, past the shell's key bindings.
// Delivered (version 3 on) answers once the keys sent before it have gone out to programs,
// read or not, without holding up the calls after it. A text's line ends (version 4 on) are
// Enters between its lines.
const QUORVEL_INTERFACE_XML = `<node>
  <interface name="${QUORVEL_INTERFACE}">
    <property name="Version" type="u" access="read"/>
    <method name="ListWindows">
      <arg type="a(tssbb)" name="windows" direction="out"/>
    </method>
    <method name="Activate">
      <arg type="t" name="id" direction="in"/>
      <arg type="b" name="found" direction="out"/>
    </method>
    <signal name="WindowsChanged">
      <arg type="a(tssbb)" name="windows"/>
    </signal>
    <method name="Layout">
      <arg type="s" name="layout" direction="out"/>
      <arg type="s" name="variant" direction="out"/>
      <arg type="s" name="options" direction="out"/>
    </method>
    <signal name="LayoutChanged"/>
<method name="Modifiers">
      <arg type="u" name="mask" direction="out"/>
    </method>
    <method name="Keys">
      <arg type="a(ub)" name="keys" direction="in"/>
    </method>
    <method name="Text">
      <arg type="s" name="text" direction="in"/>
      <arg type="u" name="vKey" direction="in"/>
      <arg type="s" name="route" direction="out"/>
    </method>
    <method name="PointerMove">
      <arg type="d" name="x" direction="in"/>
      <arg type="d" name="y" direction="in"/>
    </method>
    <method name="PointerButton">
      <arg type="u" name="button" direction="in"/>
      <arg type="b" name="pressed" direction="in"/>
    </method>
    <method name="PointerScroll">
      <arg type="u" name="direction" direction="in"/>
    </method>
    <method name="Settle"/>
    <method name="Delivered"/>
    <method name="Grab">
      <arg type="s" name="accelerator" direction="in"/>
      <arg type="u" name="id" direction="out"/>
    </method>
    <method name="Ungrab">
      <arg type="u" name="id" direction="in"/>
      <arg type="b" name="released" direction="out"/>
    </method>
    <signal name="HotKeyPressed">
      <arg type="u" name="id"/>
    </signal>
  </interface>
</node>`;

// Terminals paste with Ctrl+Shift+V; Ctrl+V there is a control character.
const QUORVEL_TERMINALS = new Set([
    'foot', 'footclient', 'org.codeberg.dnkl.foot', 'gnome-terminal-server', 'org.gnome.terminal',
    'org.gnome.console', 'kgx', 'org.gnome.ptyxis', 'kitty', 'alacritty',
    'org.wezfurlong.wezterm', 'xterm', 'uxterm', 'konsole', 'org.kde.konsole', 'tilix',
    'com.gexperts.tilix', 'terminator', 'xfce4-terminal', 'weston-terminal', 'st', 'urxvt',
    'lxterminal', 'mate-terminal', 'qterminal', 'sakura', 'terminology', 'guake', 'tilda',
    'com.mitchellh.ghostty',
]);

const QUORVEL_TEXT_TYPE = 'text/plain;charset=utf-8';
const EVDEV_CTRL = 29, EVDEV_SHIFT = 42, EVDEV_ENTER = 28;
// How long keys take at least, and at most, to reach the focused program from our virtual
// keyboard.
const KEYS_SETTLE_MS = 15;
const KEYS_SETTLE_MAX_MS = 200;
// The longest wait for the frames that hand queued input to programs: a shell with nothing
// to draw may skip them.
const FRAMES_MAX_MS = 100;
// The shell cannot tell when a program has read a paste: it is given this long before the
// user's clipboard is put back and the keys after it follow.
const PASTE_SETTLE_MS = 150;
// How long a program takes to answer a commit with its new input state.
const COMMIT_SETTLE_MS = 30;

function QuorvelShell(ns) {
    const {Gio, GLib, Meta, Shell, Clutter, Main, getInputSourceManager} = ns;
    const global = ns.global;

    let bus = null;
    let ownerId = 0;
    let exported = null;
    let keyboard = null;
    let pointer = null;
    const signalIds = [];
    const windowSignals = new Map(); // Meta.Window -> its handler ids
    let windowsIdle = 0;
    let startupId = 0;
    let layoutId = 0;
    const grabs = new Map(); // action -> {client, accelerator}
    const watches = new Map(); // bus name -> watch id
    let work = Promise.resolve(); // keys and pastes, in the order they came
    let lastSent = 0; // the time of the last key sent
    let lastCommit = 0; // the time of the last text committed
    const held = new Map(); // bus name -> the keys it holds down
    const heldButtons = new Map(); // bus name -> the pointer buttons it holds down
    const timeouts = new Set();
    const frameWaits = new Set(); // what ends each wait for frames


    function sleep(ms) {
        return new Promise(resolve => {
            const id = GLib.timeout_add(GLib.PRIORITY_DEFAULT, ms, () => {
                timeouts.delete(id);
                resolve();
                return GLib.SOURCE_REMOVE;
            });
            timeouts.add(id);
        });
    }

    function idle() {
        return new Promise(resolve => {
            // Just after the shell's own idles of input, a busy compositor's redraws aside.
            const id = GLib.idle_add(GLib.PRIORITY_DEFAULT + 2, () => {
                timeouts.delete(id);
                resolve();
                return GLib.SOURCE_REMOVE;
            });
            timeouts.add(id);
        });
    }

    // The input thread queues our keys on the stage, from an idle of the shell's, and the stage
    // hands them to programs as a frame begins: after that idle and the next frame, they have
    // gone out.
    async function handedOut(frames) {
        await idle();
        await framesPassed(frames);
    }

    function framesPassed(count) {
        return new Promise(resolve => {
            let left = count, timeout = 0, id = 0;
            const finish = () => {
                frameWaits.delete(finish);
                if (id)
                    global.stage.disconnect(id);
                if (timeout)
                    GLib.source_remove(timeout);
                id = timeout = 0;
                resolve();
            };
            frameWaits.add(finish);
            timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, FRAMES_MAX_MS, () => {
                timeout = 0;
                finish();
                return GLib.SOURCE_REMOVE;
            });
            try {
                id = global.stage.connect('after-update', () => {
                    if (--left <= 0)
                        finish();
                    else
                        global.stage.schedule_update?.();
                });
                global.stage.schedule_update?.();
            } catch (e) {
                // A shell without the signal: the longest wait it is.
            }
        });
    }

    function now() {
        return GLib.get_monotonic_time();
    }

    // Dialogs count, a program's own ones too: a macro waits for its "Save As" by title.
    const LISTED_TYPES = new Set([Meta.WindowType.NORMAL, Meta.WindowType.DIALOG,
        Meta.WindowType.MODAL_DIALOG]);

    function isListed(w) {
        return LISTED_TYPES.has(w.get_window_type()) && !w.is_skip_taskbar();
    }

    function listWindows() {
        const all = global.display.list_all_windows().filter(isListed);
        const focus = global.display.get_focus_window();
        return global.display.sort_windows_by_stacking(all).reverse().map(w => [
            w.get_id(), w.get_title() ?? '', w.get_wm_class() ?? '', w.minimized, w === focus,
        ]);
    }

    function windowsVariant() {
        return new GLib.Variant('(a(tssbb))', [listWindows()]);
    }

    // Changes come in bursts (a new window is mapped, titled and focused at once): one signal.
    function windowsChanged() {
        if (windowsIdle || !exported)
            return;
        windowsIdle = GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
            windowsIdle = 0;
            exported?.emit_signal('WindowsChanged', windowsVariant());
            return GLib.SOURCE_REMOVE;
        });
    }

    function watchWindow(w) {
        if (windowSignals.has(w))
            return;
        const ids = ['notify::title', 'notify::wm-class', 'notify::minimized'].map(
            s => w.connect(s, windowsChanged));
        ids.push(w.connect('unmanaged', () => {
            unwatchWindow(w);
            windowsChanged();
        }));
        windowSignals.set(w, ids);
    }

    function unwatchWindow(w) {
        for (const id of windowSignals.get(w) ?? [])
            w.disconnect(id);
        windowSignals.delete(w);
    }

    function findWindow(id) {
        return global.display.list_all_windows().find(w => w.get_id() === id) ?? null;
    }

    function layout() {
        const source = getInputSourceManager().currentSource;
        const id = source ? source.xkbId ?? source.id : 'us';
        const [name, variant] = id.split('+');
        const settings = new Gio.Settings({schema_id: 'org.gnome.desktop.input-sources'});
        return [name ?? '', variant ?? '', settings.get_strv('xkb-options').join(',')];
    }

    function sendKeys(keys, client) {
        const down = client ? held.get(client) ?? new Set() : null;
        for (const [key, pressed] of keys) {
            if (down) {
                if (pressed)
                    down.add(key);
                else
                    down.delete(key);
            }
            lastSent = now();
            keyboard.notify_key(lastSent, key,
                pressed ? Clutter.KeyState.PRESSED : Clutter.KeyState.RELEASED);
        }
        if (down?.size)
            held.set(client, down);
        else if (client)
            held.delete(client);
    }

    function sendButton(button, pressed, client) {
        const down = heldButtons.get(client) ?? new Set();
        if (pressed)
            down.add(button);
        else
            down.delete(button);
        if (down.size)
            heldButtons.set(client, down);
        else
            heldButtons.delete(client);
        pointer.notify_button(now(), button,
            pressed ? Clutter.ButtonState.PRESSED : Clutter.ButtonState.RELEASED);
    }

    // A pointer call, after the keys and pastes before it.
    function pointerCall(invocation, job) {
        const sender = invocation.get_sender();
        watchClient(sender);
        queued(() => {
            if (!pointer)
                throw new Error('the shell has no pointer of ours');
            job(sender);
        }).then(
            () => invocation.return_value(null),
            e => invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED,
                String(e)));
    }

    // Keys pass through the shell's input thread and its next frame, and a program may queue
    // them while it takes text at once: text sent right after keys would overtake them. The
    // shell has handed them out after that frame. A program may draw halfway through the keys
    // (GTK 4 does), and a draw from before, of a commit say, tells nothing of them: it has
    // handled them once it has drawn since and then lets a frame pass without drawing (or
    // after the longest wait).
    async function keysHandled() {
        const since = (now() - lastSent) / 1000;
        if (since >= KEYS_SETTLE_MAX_MS)
            return;
        const deadline = now() + (KEYS_SETTLE_MAX_MS - since) * 1000;
        const actor = global.display.get_focus_window()?.get_compositor_private();
        let draws = 0;
        const id = actor?.connect('damaged', () => draws++) ?? 0;
        await Promise.all([handedOut(1), sleep(Math.max(0, KEYS_SETTLE_MS - since))]);
        const handed = draws;
        while (actor && now() < deadline) {
            const before = draws;
            await framesPassed(1);
            if (draws > handed && draws === before)
                break;
        }
        if (id)
            actor.disconnect(id);
    }

    function focusedIsTerminal() {
        const w = global.display.get_focus_window();
        const names = [w?.get_wm_class(), w?.get_wm_class_instance(), w?.get_gtk_application_id()];
        return names.some(n => n && QUORVEL_TERMINALS.has(n.toLowerCase()));
    }

    function transfer(selection, mimetype) {
        return new Promise(resolve => {
            const out = Gio.MemoryOutputStream.new_resizable();
            selection.transfer_async(Meta.SelectionType.SELECTION_CLIPBOARD, mimetype, -1, out,
                null, (source, result) => {
                    try {
                        source.transfer_finish(result);
                        out.close(null);
                        resolve(out.steal_as_bytes());
                    } catch (e) {
                        resolve(null);
                    }
                });
        });
    }

    // The clipboard's main contents: its text, else the first type it offers (an image).
    async function saveClipboard(selection) {
        const types = selection.get_mimetypes(Meta.SelectionType.SELECTION_CLIPBOARD);
        const type = types.includes(QUORVEL_TEXT_TYPE) ? QUORVEL_TEXT_TYPE : types[0];
        const bytes = type ? await transfer(selection, type) : null;
        return bytes ? {type, bytes} : {type: null, bytes: null};
    }

    function setClipboard(selection, type, bytes) {
        const source = Meta.SelectionSourceMemory.new(type, bytes);
        selection.set_owner(Meta.SelectionType.SELECTION_CLIPBOARD, source);
        return source;
    }

    // Sets the text as the clipboard, presses the paste key, and puts the user's clipboard
    // back once the program has had time to read it.
    async function paste(text, vKey) {
        const selection = global.display.get_selection();
        const saved = await saveClipboard(selection);
        const ours = setClipboard(selection, QUORVEL_TEXT_TYPE,
            new GLib.Bytes(new TextEncoder().encode(text)));
        const modifiers = focusedIsTerminal() ? [EVDEV_CTRL, EVDEV_SHIFT] : [EVDEV_CTRL];
        sendKeys([...modifiers.map(k => [k, true]), [vKey, true], [vKey, false],
            ...[...modifiers].reverse().map(k => [k, false])]);
        await sleep(PASTE_SETTLE_MS);
        if (saved.type)
            setClipboard(selection, saved.type, saved.bytes);
        else
            selection.unset_owner(Meta.SelectionType.SELECTION_CLIPBOARD, ours);
        return 'paste';
    }

    async function typeLine(text, vKey) {
        await keysHandled();
        // The shell's input method has a focus where the program takes text input from it.
        if (Main.inputMethod?._currentFocus) {
            // A done that crosses the program's own update of its input state (it sends one
            // after each commit) carries a stale serial, and the program drops the text: a
            // commit waits for the update to the one before.
            await sleep(Math.max(0, COMMIT_SETTLE_MS - (now() - lastCommit) / 1000));
            Main.inputMethod.commit(text);
            // The program takes a commit at the shell's next "done", sent from an idle of its
            // own; a second commit before it would replace this one. Keys sent after that idle
            // reach the program later, at a frame.
            await idle();
            lastCommit = now();
            return 'commit';
        }
        return paste(text, vKey);
    }

    async function typeText(text, vKey) {
        // A terminal sends a carriage return for Enter: where it takes a commit, the lines go
        // as one, and the shell draws once instead of once a line.
        if (text.includes('\n') && Main.inputMethod?._currentFocus && focusedIsTerminal())
            return typeLine(text.replaceAll('\n', '\r'), vKey);
        let route = null;
        const lines = text.split('\n');
        for (const [i, line] of lines.entries()) {
            if (line)
                route = await typeLine(line, vKey);
            if (i + 1 < lines.length)
                sendKeys([[EVDEV_ENTER, true], [EVDEV_ENTER, false]]);
        }
        return route ?? 'commit';
    }

    function queued(job) {
        const done = work.then(job);
        work = done.catch(() => {});
        return done;
    }

    function grabOf(accelerator) {
        return [...grabs.values()].some(g => g.accelerator === accelerator);
    }

    function releaseGrab(action) {
        if (!grabs.has(action))
            return false;
        grabs.delete(action);
        global.display.ungrab_accelerator(action);
        Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
            Shell.ActionMode.NONE);
        return true;
    }

    // A client that leaves, killed or not, leaves nothing grabbed and no key down.
    function watchClient(name) {
        if (watches.has(name))
            return;
        watches.set(name, Gio.bus_watch_name_on_connection(bus, name,
            Gio.BusNameWatcherFlags.NONE, null, () => {
                for (const [action, grab] of [...grabs]) {
                    if (grab.client === name)
                        releaseGrab(action);
                }
                const down = held.get(name);
                if (down && keyboard)
                    queued(() => sendKeys([...down].map(k => [k, false]), name));
                const buttons = heldButtons.get(name);
                if (buttons && pointer)
                    queued(() => [...buttons].forEach(b => sendButton(b, false, name)));
                Gio.bus_unwatch_name(watches.get(name));
                watches.delete(name);
            }));
    }

    const service = {
        get Version() {
            return QUORVEL_INTERFACE_VERSION;
        },
        ListWindows() {
            return listWindows();
        },
        // After the keys sent before it: the shell hands them to the focused program from its
        // own queue, and would hand the last of them to the window activated meanwhile.
        ActivateAsync(params, invocation) {
            const [id] = params;
            queued(async () => {
                await keysHandled();
                const w = findWindow(id);
                if (w) {
                    Main.overview.hide();
                    Main.activateWindow(w);
                }
                return Boolean(w);
            }).then(
                found => invocation.return_value(new GLib.Variant('(b)', [found])),
                e => invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED,
                    String(e)));
        },
        Layout() {
            return layout();
        },
        Modifiers() {
            return global.get_pointer()[2];
        },
        KeysAsync(params, invocation) {
            const [keys] = params;
            const sender = invocation.get_sender();
            watchClient(sender);
            queued(() => sendKeys(keys, sender)).then(
                () => invocation.return_value(null),
                e => invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED,
                    String(e)));
        },
        TextAsync(params, invocation) {
            const [text, vKey] = params;
            queued(() => typeText(text, vKey)).then(
                route => invocation.return_value(new GLib.Variant('(s)', [route])),
                e => invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED,
                    String(e)));
        },
        SettleAsync(params, invocation) {
            queued(keysHandled).then(
                () => invocation.return_value(null),
                e => invocation.return_error_literal(Gio.DBusError, Gio.DBusError.FAILED,
                    String(e)));
        },
        DeliveredAsync(params, invocation) {
            queued(() => {
                // One frame more than needed: it holds nothing up.
                handedOut(2).then(() => invocation.return_value(null));
            });
        },
        PointerMoveAsync(params, invocation) {
            const [x, y] = params;
            pointerCall(invocation, () => pointer.notify_absolute_motion(now(), x, y));
        },
        PointerButtonAsync(params, invocation) {
            const [button, pressed] = params;
            pointerCall(invocation, sender => sendButton(button, pressed, sender));
        },
        PointerScrollAsync(params, invocation) {
            const [direction] = params;
            const directions = [Clutter.ScrollDirection.UP, Clutter.ScrollDirection.DOWN,
                Clutter.ScrollDirection.LEFT, Clutter.ScrollDirection.RIGHT];
            pointerCall(invocation, () => {
                if (direction >= directions.length)
                    throw new Error(`no scroll direction ${direction}`);
                pointer.notify_discrete_scroll(now(), directions[direction],
                    Clutter.ScrollSource.WHEEL);
            });
        },
        GrabAsync(params, invocation) {
            const [accelerator] = params;
            const flags = Meta.KeyBindingFlags.IGNORE_AUTOREPEAT ?? Meta.KeyBindingFlags.NONE;
            // The shell grants one combination twice; the first of two clients keeps it.
            const action = grabOf(accelerator) ? Meta.KeyBindingAction.NONE
                : global.display.grab_accelerator(accelerator, flags);
            if (action !== Meta.KeyBindingAction.NONE) {
                const sender = invocation.get_sender();
                grabs.set(action, {client: sender, accelerator});
                watchClient(sender);
                Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
                    Shell.ActionMode.ALL);
            }
            invocation.return_value(new GLib.Variant('(u)', [action]));
        },
        UngrabAsync(params, invocation) {
            const [action] = params;
            const ours = grabs.get(action)?.client === invocation.get_sender();
            invocation.return_value(new GLib.Variant('(b)', [ours && releaseGrab(action)]));
        },
    };

    function onAccelerator(_display, action) {
        const client = grabs.get(action)?.client;
        if (client && bus) {
            bus.emit_signal(client, QUORVEL_OBJECT_PATH, QUORVEL_INTERFACE, 'HotKeyPressed',
                new GLib.Variant('(u)', [action]));
        }
    }

    function ownName() {
        ownerId = Gio.bus_own_name(Gio.BusType.SESSION, QUORVEL_BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, connection => {
                bus = connection;
                exported = Gio.DBusExportedObject.wrapJSObject(QUORVEL_INTERFACE_XML, service);
                exported.export(connection, QUORVEL_OBJECT_PATH);
            }, null, null);
    }

    // Nobody is there to leave the overview of a headless shell, and a window activated under
    // it gets no focus.
    function hideOverviewWhenHeadless() {
        if (global.backend.is_headless() && Main.overview.visible)
            Main.overview.hide();
    }

    // The name appears once the shell has started up, so a client finding it can use it.
    function whenStarted() {
        hideOverviewWhenHeadless();
        ownName();
    }

    return {
        enable() {
            const seat = Clutter.get_default_backend().get_default_seat();
            keyboard = seat.create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
            pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
            // A new keyboard's first key is lost: Shift is harmless.
            sendKeys([[EVDEV_SHIFT, true], [EVDEV_SHIFT, false]], null);
            for (const w of global.display.list_all_windows())
                watchWindow(w);
            signalIds.push([global.display, global.display.connect('window-created',
                (_d, w) => {
                    watchWindow(w);
                    windowsChanged();
                })]);
            signalIds.push([global.display, global.display.connect('notify::focus-window',
                windowsChanged)]);
            signalIds.push([global.display, global.display.connect('accelerator-activated',
                onAccelerator)]);
            layoutId = getInputSourceManager().connect('current-source-changed',
                () => exported?.emit_signal('LayoutChanged', null));
            if (Main.layoutManager._startingUp) {
                startupId = Main.layoutManager.connect('startup-complete', () => {
                    Main.layoutManager.disconnect(startupId);
                    startupId = 0;
                    whenStarted();
                });
            } else {
                whenStarted();
            }
        },

        disable() {
            if (ownerId)
                Gio.bus_unown_name(ownerId);
            ownerId = 0;
            exported?.unexport();
            exported = null;
            for (const action of [...grabs.keys()])
                releaseGrab(action);
            for (const id of watches.values())
                Gio.bus_unwatch_name(id);
            watches.clear();
            for (const [object, id] of signalIds.splice(0))
                object.disconnect(id);
            for (const w of [...windowSignals.keys()])
                unwatchWindow(w);
            if (layoutId)
                getInputSourceManager().disconnect(layoutId);
            layoutId = 0;
            if (startupId)
                Main.layoutManager.disconnect(startupId);
            startupId = 0;
            if (windowsIdle)
                GLib.source_remove(windowsIdle);
            windowsIdle = 0;
            for (const id of timeouts)
                GLib.source_remove(id);
            timeouts.clear();
            for (const finish of [...frameWaits])
                finish();
            bus = null;
            keyboard = null;
            pointer = null;
        },
    };
}
