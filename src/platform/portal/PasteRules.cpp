// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/PasteRules.h"

#include <algorithm>
#include <array>

namespace quorvel::portal {

bool isTerminal(std::string_view appId)
{
    // Wayland app ids and X11 resource classes of the common terminals; an X11 class may come
    // capitalised ("XTerm", "URxvt").
    static constexpr std::array<std::string_view, 30> terminals { "alacritty", "eterm", "foot",
        "footclient", "gnome-terminal", "gnome-terminal-server", "guake", "kitty", "konsole",
        "lxterminal", "mate-terminal", "org.codeberg.dnkl.foot",
        "org.freedesktop.weston.wayland-terminal", "org.gnome.console", "org.gnome.ptyxis",
        "org.gnome.terminal", "org.kde.konsole", "org.kde.yakuake", "org.wezfurlong.wezterm",
        "qterminal", "rxvt", "st-256color", "terminator", "terminology", "tilix", "urxvt",
        "weston-terminal", "wezterm", "xfce4-terminal", "xterm" };
    const std::string lower = [&] {
        std::string s(appId);
        std::transform(s.begin(), s.end(), s.begin(),
            [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
        return s;
    }();
    return std::find(terminals.begin(), terminals.end(), lower) != terminals.end();
}

std::u32string lackingRun(
    std::u32string_view ahead, const std::function<bool(char32_t)> &lacks, std::size_t limit)
{
    std::size_t end = 0; // one past the last lacking character taken
    for (std::size_t i = 0; i < ahead.size() && i < limit; ++i) {
        if (lacks(ahead[i]))
            end = i + 1;
        else if (ahead[i] != U' ' || i == 0)
            break;
    }
    return std::u32string(ahead.substr(0, end));
}

void TextAhead::announce(std::u32string_view text)
{
    m_text.assign(text);
    m_at = 0;
}

bool TextAhead::consume(char32_t ch)
{
    if (m_at >= m_text.size() || m_text[m_at] != ch) {
        clear();
        return false;
    }
    ++m_at;
    return true;
}

void TextAhead::clear()
{
    m_text.clear();
    m_at = 0;
}

} // namespace quorvel::portal
