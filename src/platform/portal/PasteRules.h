// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quorvel::portal {

// Whether the program of this app id (Wayland) or resource class (X11) is a terminal, which
// pastes on Ctrl+Shift+V and reads Ctrl+V as a control character. Case is ignored.
bool isTerminal(std::string_view appId);

// The text one paste carries, for the character ch typed through the clipboard: ch and the
// characters after it in ahead, the text announced from here on, as long as lacks() holds for
// them; a space between two lacking characters goes along, being the same pasted as typed.
// ahead must start with ch; at most limit characters.
std::u32string lackingRun(
    std::u32string_view ahead, const std::function<bool(char32_t)> &lacks, std::size_t limit);

// The text announced by expectText, kept in step with what is typed: the sink drops each
// character typed from its front, and forgets the text once typing leaves it.
class TextAhead
{
public:
    void announce(std::u32string_view text);
    // ch is being typed: true when it was the next character announced.
    bool consume(char32_t ch);
    // What is still ahead.
    std::u32string_view text() const { return std::u32string_view(m_text).substr(m_at); }
    void clear();

private:
    std::u32string m_text;
    std::size_t m_at = 0;
};

} // namespace quorvel::portal
