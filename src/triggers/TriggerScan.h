// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/Catalogue.h"
#include "platform/Dialogs.h"
#include "platform/EventPump.h"
#include "platform/WindowSystem.h"

#include <functional>
#include <string>
#include <string_view>

namespace quorvel {

// The window-title trigger scan of the main window's Timer1: a record runs once for each
// visible window whose title equals its Trigger; the windows already served are kept in the
// record's FoundHandle.
class TriggerScan
{
public:
    // run is ProcessHotKey; errors shows what a run raises (without one, it propagates).
    TriggerScan(Catalogue &catalogue, WindowSystem &windows, EventPump &pump,
        std::function<void(int record)> run, ErrorDisplay *errors = nullptr);

    // One tick. Not guarded against re-entry: the pumps and runs inside may tick again.
    void Timer1Timer();

    // Timer1's period from SearchInterval (read once, at start-up); 0 or less: no scan.
    static int searchInterval(Catalogue &catalogue);
    // Whether a FoundHandle list holds the window.
    static bool listHolds(std::string_view foundHandles, WindowHandle window);

private:
    void scan();
    void awaitFocus(WindowHandle window);

    Catalogue &m_catalogue;
    WindowSystem &m_windows;
    EventPump &m_pump;
    std::function<void(int)> m_run;
    ErrorDisplay *m_errors;
    // An unwritable catalogue would fail every tick: its error is raised once, and ticks that
    // meet the same failure end silently until a write succeeds again.
    std::string m_shownWriteError;
};

} // namespace quorvel
