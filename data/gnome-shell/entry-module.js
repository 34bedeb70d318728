// SPDX-License-Identifier: GPL-3.0-or-later
// The extension for GNOME Shell 45 and later, which load extension.js as an ES module.
import Clutter from 'gi://Clutter';
import GLib from 'gi://GLib';
import Gio from 'gi://Gio';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {getInputSourceManager} from 'resource:///org/gnome/shell/ui/status/keyboard.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

export default class QuorvelExtension extends Extension {
    enable() {
        this._shell = QuorvelShell({Gio, GLib, Meta, Shell, Clutter, Main,
            getInputSourceManager, global});
        this._shell.enable();
    }

    disable() {
        this._shell?.disable();
        this._shell = null;
    }
}
