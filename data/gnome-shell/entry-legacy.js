// SPDX-License-Identifier: GPL-3.0-or-later
// The extension for GNOME Shell 43 and 44, which load extension.js as a plain script.
/* exported init */
const {Gio, GLib, Meta, Shell, Clutter} = imports.gi;
const Main = imports.ui.main;
const {getInputSourceManager} = imports.ui.status.keyboard;

function init() {
    return QuorvelShell({Gio, GLib, Meta, Shell, Clutter, Main, getInputSourceManager,
        global});
}
