// SPDX-License-Identifier: GPL-3.0-or-later
#include "triggers/TriggerScan.h"

#include "common/Error.h"
#include "common/Text.h"
#include "triggers/TitleSearch.h"

#include <charconv>
#include <exception>

namespace quorvel {

TriggerScan::TriggerScan(Catalogue &catalogue, WindowSystem &windows, EventPump &pump,
    std::function<void(int record)> run, ErrorDisplay *errors)
    : m_catalogue(catalogue)
    , m_windows(windows)
    , m_pump(pump)
    , m_run(std::move(run))
    , m_errors(errors)
{
}

int TriggerScan::searchInterval(Catalogue &catalogue)
{
    return catalogue.store().readInteger(
        settings::Main, settings::SearchInterval, settings::SearchIntervalDefault);
}

bool TriggerScan::listHolds(std::string_view foundHandles, WindowHandle window)
{
    for (std::string_view entry : text::split(foundHandles, ',')) {
        // Only whole decimal numbers count; an empty or cut-off entry matches nothing else.
        WindowHandle value = 0;
        const char *end = entry.data() + entry.size();
        const auto [ptr, ec] = std::from_chars(entry.data(), end, value);
        if (!entry.empty() && ec == std::errc() && ptr == end && value == window)
            return true;
    }
    return false;
}

void TriggerScan::Timer1Timer()
{
    if (!m_errors) {
        scan();
        return;
    }
    try {
        scan();
    } catch (const std::exception &e) {
        m_errors->showError(e.what());
    }
}

void TriggerScan::awaitFocus(WindowHandle window)
{
    // The window manager hands a new window the focus a moment after it shows: keys typed
    // before then would reach the window that had it. A window left in the background runs
    // its macro once the wait is over.
    constexpr int kPolls = 20, kPollMs = 5;
    for (int i = 0; i < kPolls && m_windows.foregroundWindow() != window; ++i) {
        m_pump.sleep(kPollMs);
        m_pump.processMessages();
    }
}

void TriggerScan::scan()
{
    ProfileStore &store = m_catalogue.store();
    auto doc = store.document();
    const int entries = Catalogue::recordCount(*doc);
    for (int n = 1; n <= entries; ++n) {
        const std::string trigger = Catalogue::record(*doc, n).trigger;
        if (trigger.empty())
            continue;
        // Its own target and result: a look-for wait in progress keeps its own.
        TitleSearch search(trigger);
        const bool found = search.run(m_windows);
        m_pump.processMessages();
        // The pump may have changed the catalogue (another tick, an editor).
        doc = store.document();
        if (!found)
            continue;
        const WindowHandle window = search.foundWindow();
        const std::string served = m_catalogue.foundHandles(n);
        if (listHolds(served, window))
            continue;
        // Invisible: nothing remembered, so it can fire once it shows.
        if (!m_windows.isWindowVisible(window))
            continue;
        // Stored before the run, so a tick inside the run does not fire it again.
        try {
            m_catalogue.addFoundHandle(n, std::to_string(window));
        } catch (const Error &e) {
            if (m_shownWriteError == e.what())
                return;
            m_shownWriteError = e.what();
            throw;
        }
        m_shownWriteError.clear();
        awaitFocus(window);
        m_run(n);
        doc = store.document();
    }
}

} // namespace quorvel
