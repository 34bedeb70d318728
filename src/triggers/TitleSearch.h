// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <string>
#include <string_view>

namespace quorvel {

// Titles are read through a buffer of 250 characters.
constexpr std::size_t kMaxTitleChars = 249;

// The title rule: whole title, ASCII letter case and surrounding blanks and control
// characters ignored on both sides.
bool titleMatches(std::string_view windowTitle, std::string_view target);

// One title search with its own target and result, so concurrent callers (the trigger scan,
// a look-for wait) never disturb each other.
class TitleSearch
{
public:
    explicit TitleSearch(const std::string &target);

    // Enumerates the top-level windows topmost first; the first match ends the search.
    bool run(WindowSystem &windows);
    // MatchWindowTitle: true to continue the enumeration.
    bool MatchWindowTitle(const WindowInfo &window);

    bool found() const { return m_found; }
    WindowHandle foundWindow() const { return m_window; }

private:
    std::string m_target; // normalised
    bool m_found = false;
    WindowHandle m_window = 0;
};

} // namespace quorvel
