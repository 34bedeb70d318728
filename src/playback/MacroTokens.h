// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The token vocabulary of the advanced macro language and its recognizer, shared by the
// interpreter that runs a text and the checker that reads one (and marks it for the editor).

#include "common/Text.h"

#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>

namespace quorvel {

// The modifiers a modifier token puts before the next key.
enum class ModifierMode {
    Ctrl = 1, // "^"
    Alt, // "@"
    Shift, // "~"
    CtrlAlt, // "^@"
    CtrlShift, // "^~"
    ShiftAlt, // "~@"
};

namespace tokens {

using View = std::u32string_view;

// Recognition tries the modifiers, then the keys, then the commands, each table in its
// order; the first row whose text equals the front of the text wins.
struct ModifierToken
{
    View token;
    ModifierMode mode;
    View prefix;
    std::string_view label; // as a person reads it
};

inline constexpr ModifierToken kModifierTokens[] = {
    { U"<<CTRL>>", ModifierMode::Ctrl, U"^", "Ctrl" },
    { U"<<ALT>>", ModifierMode::Alt, U"@", "Alt" },
    { U"<<SHIFT>>", ModifierMode::Shift, U"~", "Shift" },
    { U"<<CTRL+ALT>>", ModifierMode::CtrlAlt, U"^@", "Ctrl+Alt" },
    { U"<<CTRL+SHIFT>>", ModifierMode::CtrlShift, U"^~", "Ctrl+Shift" },
    { U"<<SHIFT+ALT>>", ModifierMode::ShiftAlt, U"~@", "Shift+Alt" },
};

// Keys on their own and after a modifier token alike.
struct KeyToken
{
    View token;
    View braceName; // the keystroke string sent
};

inline constexpr KeyToken kKeyTokens[] = {
    { U"<<ENTER>>", U"{ENTER}" },
    { U"<<F1>>", U"{F1}" },
    { U"<<F2>>", U"{F2}" },
    { U"<<F3>>", U"{F3}" },
    { U"<<F4>>", U"{F4}" },
    { U"<<F5>>", U"{F5}" },
    { U"<<F6>>", U"{F6}" },
    { U"<<F7>>", U"{F7}" },
    { U"<<F8>>", U"{F8}" },
    { U"<<F9>>", U"{F9}" },
    { U"<<F10>>", U"{F10}" },
    { U"<<F11>>", U"{F11}" },
    { U"<<F12>>", U"{F12}" },
    { U"<<TAB>>", U"{TAB}" },
    { U"<<BACKSPACE>>", U"{BKSP}" },
    { U"<<INSERT>>", U"{INSERT}" },
    { U"<<DELETE>>", U"{DELETE}" },
    { U"<<HOME>>", U"{HOME}" },
    { U"<<END>>", U"{END}" },
    { U"<<PAGEUP>>", U"{PGUP}" },
    { U"<<PAGEDOWN>>", U"{PGDN}" },
    { U"<<PRINTSCREEN>>", U"{PRTSC}" },
    { U"<<UP>>", U"{UP}" },
    { U"<<DOWN>>", U"{DOWN}" },
    { U"<<LEFT>>", U"{LEFT}" },
    { U"<<RIGHT>>", U"{RIGHT}" },
    { U"<<ESC>>", U"{ESC}" },
};

enum class Command {
    Secs,
    Mins,
    Rep,
    ShortDate,
    LongDate,
    ShortTime,
    LongTime,
    Input,
    WriteValue,
    Run,
    LookFor,
    Focus,
    Execute,
};

struct CommandToken
{
    View token;
    Command command;
};

inline constexpr CommandToken kCommandTokens[] = {
    { U"<<SECS", Command::Secs },
    { U"<<MINS", Command::Mins },
    { U"<<REP", Command::Rep },
    { U"<<SHORTDATE>>", Command::ShortDate },
    { U"<<LONGDATE>>", Command::LongDate },
    { U"<<SHORTTIME>>", Command::ShortTime },
    { U"<<LONGTIME>>", Command::LongTime },
    { U"<<INPUT:", Command::Input },
    { U"<<WRITEVALUE>>", Command::WriteValue },
    { U"<<RUN:", Command::Run },
    { U"<<LOOKFOR:", Command::LookFor },
    { U"<<FOCUS:", Command::Focus },
    { U"<<EXECUTE:", Command::Execute },
};
static_assert(std::size(kModifierTokens) + std::size(kKeyTokens) + std::size(kCommandTokens) == 46);

// Ends a repeat body; matched in exact capitals, unlike the tokens.
inline constexpr View kEndRep = U"<<ENDREP>>";

// The first N characters, ASCII letters upper-cased, equal the token.
constexpr bool startsWithToken(View text, View token)
{
    if (text.size() < token.size())
        return false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (text::upperAscii(text[i]) != token[i])
            return false;
    }
    return true;
}

template <typename Row, std::size_t N>
constexpr const Row *matchToken(View text, const Row (&rows)[N])
{
    for (const Row &row : rows) {
        if (startsWithToken(text, row.token))
            return &row;
    }
    return nullptr;
}

// The token at the front of a text, recognized in the order above: at most one row is set,
// none for text that is no token.
struct Token
{
    const ModifierToken *modifier = nullptr;
    const KeyToken *key = nullptr;
    const CommandToken *command = nullptr;

    constexpr std::size_t length() const
    {
        return modifier ? modifier->token.size()
            : key       ? key->token.size()
            : command   ? command->token.size()
                        : 0;
    }
};

constexpr Token recognize(View text)
{
    if (const auto *row = matchToken(text, kModifierTokens))
        return { row, nullptr, nullptr };
    if (const auto *row = matchToken(text, kKeyTokens))
        return { nullptr, row, nullptr };
    return { nullptr, nullptr, matchToken(text, kCommandTokens) };
}

constexpr bool startsWithMarker(View text)
{
    return text.size() >= 2 && text[0] == U'<' && text[1] == U'<';
}

// A count or amount as the run converts it: leading blanks skipped, then a whole integer.
std::optional<int> parseCount(View argument);

} // namespace tokens
} // namespace quorvel
