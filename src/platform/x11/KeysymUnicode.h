// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel::x11 {

// The character a keysym types; 0 for keys that type none (function and keypad keys, dead
// keys, modifiers).
char32_t keysymToUnicode(unsigned long keysym);

// The keysym of a character: its legacy keysym where it has one (layouts bind those), else
// the Latin-1 or Unicode keysym. 0 for control characters.
unsigned long unicodeToKeysym(char32_t ch);

} // namespace quorvel::x11
