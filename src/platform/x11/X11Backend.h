// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyRegistrar.h"
#include "platform/KeySink.h"
#include "platform/WindowSystem.h"
#include "platform/x11/X11Connection.h"

#include <chrono>
#include <memory>
#include <string>

namespace quorvel::x11 {

class X11Keyboard;
class X11KeySink;
class X11KeyboardState;
class X11HotKeyRegistrar;
class X11WindowSystem;

struct X11BackendOptions
{
    std::string display; // empty: $DISPLAY
    // How long a target that does not answer pings (xterm does not; GTK and Qt programs do)
    // gets to handle a key typed on a spare key before the key is bound to another character
    // (characters no layout has). xterm lost characters at 10 ms and none at 20 ms over
    // fifteen rounds of 2,000. QUORVEL_KEYMAP_SETTLE (in milliseconds) overrides it.
    std::chrono::milliseconds remapPause { 25 };
    // How long bringing a window to the foreground waits for the window manager.
    std::chrono::milliseconds activationWait { 500 };
};

// Quorvel on an X11 desktop: typing through XTest, global hot keys, the top-level windows.
// Everything runs on the caller's thread. The event loop calls processEvents() when
// fileDescriptor() is readable, in every pump, and before it blocks (Xlib may have read
// events off the socket during a request, and the descriptor then stays quiet).
class X11Backend
{
public:
    // Throws Error when there is no display to connect to.
    explicit X11Backend(const X11BackendOptions &options = {});
    ~X11Backend();
    X11Backend(const X11Backend &) = delete;
    X11Backend &operator=(const X11Backend &) = delete;

    int fileDescriptor() const;
    void processEvents();

    KeySink &keySink();
    KeyboardState &keyboardState();
    HotKeyRegistrar &hotKeyRegistrar();
    WindowSystem &windowSystem();

    X11Connection &connection() { return *m_connection; }
    X11Keyboard &keyboard() { return *m_keyboard; }
    X11HotKeyRegistrar &x11HotKeys() { return *m_hotKeys; }
    X11WindowSystem &x11Windows() { return *m_windows; }

private:
    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::unique_ptr<X11WindowSystem> m_windows;
    std::unique_ptr<X11KeySink> m_sink;
    std::unique_ptr<X11KeyboardState> m_keyboardState;
    std::unique_ptr<X11HotKeyRegistrar> m_hotKeys;
};

} // namespace quorvel::x11
