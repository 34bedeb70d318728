// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/Catalogue.h"
#include "catalogue/HotKeyValue.h"
#include "catalogue/Paths.h"
#include "catalogue/ProfileStore.h"
#include "platform/HotKeyRegistrar.h"
#include "platform/Journal.h"
#include "platform/KeySink.h"
#include "platform/SessionDoctor.h"
#include "platform/WindowSystem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

// The platform parts the application runs on; main() decides which.
struct Backend
{
    KeySink *keys = nullptr;
    KeyboardState *keyboard = nullptr;
    WindowSystem *windows = nullptr;
    HotKeyRegistrar *hotKeys = nullptr; // none: hot keys are not bound
    Journal *journal = nullptr;
    // Why there is no journal: a recording then fails with this message.
    std::string journalUnavailable;
    // What the desktop cannot do, for the windows to say; empty on a full desktop.
    DesktopLimits limits;
    KeyNameLookup keyName;
    // The virtual-key code of a key by the keycode a key event carries; unset or 0 when the
    // platform cannot tell, and the hot-key box then goes by the toolkit's key.
    std::function<int(unsigned keycode)> virtualKeyOfKeycode;

    // Connections the event loop watches; process handles what arrived on one.
    struct EventSource
    {
        int fd = -1;
        std::function<void()> process;
    };
    std::vector<EventSource> eventSources;
    // Handles whatever the sources already hold; runs in every pump and before the loop
    // blocks, since a connection may have read events off its socket during a request.
    std::function<void()> processPending;
    // Tells the hot-key registrar how to know that one of our windows is active.
    std::function<void(std::function<bool()>)> setApplicationActiveQuery;
    // Tells the window system whom to call when a window appears or is retitled; unset where
    // only the periodic scan sees new windows.
    std::function<void(std::function<void()>)> setTitleChangeHandler;
    // Ends the running and queued replays at once; what they held is released on the
    // server before it returns.
    std::function<void()> cancelPlayBacks;
};

// Owns every object of a running Quorvel and wires them in start-up order.
class Application
{
public:
    Application(const Paths &paths, Backend backend);
    ~Application();

    // Start-up: windows, list, hot keys, scan, command line, first run. Returns when the
    // message loop may run.
    void start(const std::vector<std::string> &arguments);

    // The end on a signal or at log-off: every replay stopped, every key we hold let go,
    // every hot key given back, then the event loop ends. The placement is not saved.
    void end();
    bool ended() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
