// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace quorvel {

// 16 bits: the virtual-key code in bits 0..12, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt.
namespace hotkey {
constexpr unsigned KeyMask = 0x1FFF, Shift = 0x2000, Ctrl = 0x4000, Alt = 0x8000;
constexpr unsigned StopRecord = 24699; // Ctrl+Shift+F12
} // namespace hotkey

// The platform's own one-character name of a key not in the fixed table; empty when none.
using KeyNameLookup = std::function<std::string(int virtualKey)>;

// The punctuation keys' characters on a US keyboard, for when no layout can be asked (no
// display); empty for any other key.
std::string usLayoutKeyName(int virtualKey);

// Name of the key in the low byte, or empty; without platformName the US layout's names.
std::string hotKeyKeyName(unsigned value, const KeyNameLookup &platformName = {});
// "Shift+", "Ctrl+", "Alt+" then the key name; empty when the key has no name or value is 0.
std::string hotKeyText(unsigned value, const KeyNameLookup &platformName = {});

} // namespace quorvel
