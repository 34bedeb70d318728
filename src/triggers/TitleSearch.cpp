// SPDX-License-Identifier: GPL-3.0-or-later
#include "triggers/TitleSearch.h"

#include "common/Text.h"

namespace quorvel {

namespace {
std::string normaliseTitle(std::string_view title)
{
    return text::upperAscii(text::trimControl(text::leftChars(title, kMaxTitleChars)));
}

// The target is not cut: a target longer than any readable title never matches.
std::string normaliseTarget(std::string_view target)
{
    return text::upperAscii(text::trimControl(target));
}
} // namespace

bool titleMatches(std::string_view windowTitle, std::string_view target)
{
    return normaliseTitle(windowTitle) == normaliseTarget(target);
}

TitleSearch::TitleSearch(const std::string &target)
    : m_target(normaliseTarget(target))
{
}

bool TitleSearch::run(WindowSystem &windows)
{
    m_found = false;
    m_window = 0;
    windows.enumWindows([this](const WindowInfo &w) { return MatchWindowTitle(w); });
    return m_found;
}

bool TitleSearch::MatchWindowTitle(const WindowInfo &window)
{
    // Compare without building a copy per window: the trim and case rule applied in place.
    std::string_view title = text::trimControl(text::leftChars(window.title, kMaxTitleChars));
    if (title.size() == m_target.size() && text::equalsIgnoreAsciiCase(title, m_target)) {
        m_found = true;
        m_window = window.handle;
        return false;
    }
    return true;
}

} // namespace quorvel
