// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvel::xkb {

// A desktop's keyboard layout as xkbcommon builds it from its names, for backends that can
// send only the desktop's own keycodes: which key, with which modifiers, types a character.
struct LayoutNames
{
    std::string layout; // "us", "de", "us,ru"; empty for xkbcommon's default
    std::string variant;
    std::string options;
};

// Evdev keycodes (XKB keycode - 8).
struct KeyStroke
{
    unsigned key = 0;
    // The modifier keys to hold around it (Shift, AltGr), in pressing order.
    std::vector<unsigned> modifiers;
};

class LayoutKeys
{
public:
    // Throws Error when xkbcommon cannot build the layout. Only the first group counts.
    explicit LayoutKeys(const LayoutNames &names);
    ~LayoutKeys();
    LayoutKeys(LayoutKeys &&) noexcept;
    LayoutKeys &operator=(LayoutKeys &&) noexcept;

    // The key that types ch, the fewest modifiers first; none when the layout lacks it.
    std::optional<KeyStroke> character(char32_t ch) const;
    // The key of a keysym at its plain level (named keys: Return, F5, Shift_L); none when
    // the layout has no such key.
    std::optional<unsigned> keysym(std::uint32_t keysym) const;

    static constexpr unsigned LeftShift = 42, RightAlt = 100; // evdev

private:
    struct Keymap;
    std::unique_ptr<Keymap> m_keymap;
    std::unordered_map<char32_t, KeyStroke> m_characters;
    std::unordered_map<std::uint32_t, unsigned> m_keysyms;
};

} // namespace quorvel::xkb
