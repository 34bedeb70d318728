// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel::x11 {

// The X keysym of a Windows virtual-key code (US positions for the punctuation keys); 0 when
// X has no such key.
unsigned long virtualKeyToKeysym(int virtualKey);

// The virtual-key code of a keysym, the reverse of the above: a Shift, Ctrl or Alt key of
// either side gives the side-less code, upper-case letters their key; 0 when none.
int keysymToVirtualKey(unsigned long keysym);

// The platform's one-character name of a key for hot-key display text: the character its
// keysym types, letters in upper case; empty when that is not exactly one character.
// Matches quorvel::KeyNameLookup.
std::string keyNameForVirtualKey(int virtualKey);

} // namespace quorvel::x11
