// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/UsKeyboardLayout.h"

#include <string_view>

namespace quorvel {

namespace {
struct Pair
{
    char plain;
    char shifted;
    KeyCode key;
};

constexpr Pair kPunctuation[] = {
    { ';', ':', 0xBA },
    { '=', '+', 0xBB },
    { ',', '<', 0xBC },
    { '-', '_', 0xBD },
    { '.', '>', 0xBE },
    { '/', '?', 0xBF },
    { '`', '~', 0xC0 },
    { '[', '{', 0xDB },
    { '\\', '|', 0xDC },
    { ']', '}', 0xDD },
    { '\'', '"', 0xDE },
};

constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";
} // namespace

KeyScan usKeyScan(char32_t ch)
{
    if (ch >= U'a' && ch <= U'z')
        return { static_cast<KeyCode>(0x41 + (ch - U'a')), 0 };
    if (ch >= U'A' && ch <= U'Z')
        return { static_cast<KeyCode>(0x41 + (ch - U'A')), 1 };
    if (ch >= U'0' && ch <= U'9')
        return { static_cast<KeyCode>(0x30 + (ch - U'0')), 0 };
    switch (ch) {
    case U' ':
        return { vk::Space, 0 };
    case U'\r':
        return { vk::Return, 0 };
    case U'\n':
        return { vk::Return, 2 };
    case U'\t':
        return { vk::Tab, 0 };
    case U'\b':
        return { vk::Back, 0 };
    case 0x1B:
        return { vk::Escape, 0 };
    default:
        break;
    }
    if (ch < 0x80) {
        const auto at = kShiftedDigits.find(static_cast<char>(ch));
        if (at != std::string_view::npos)
            return { static_cast<KeyCode>(0x30 + at), 1 };
        for (const auto &p : kPunctuation) {
            if (static_cast<char32_t>(p.plain) == ch)
                return { p.key, 0 };
            if (static_cast<char32_t>(p.shifted) == ch)
                return { p.key, 1 };
        }
    }
    return {};
}

} // namespace quorvel
