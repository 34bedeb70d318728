// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/HotKeyValue.h"

#include <string>
#include <utility>

namespace quorvel {

// The hot-key box: one key combination as the catalogue's hot-key value. A key with no
// modifier, or with Shift alone, gets Alt added, since a global hot key needs one of Ctrl and
// Alt. Backspace alone clears the box (value 0, shown as "None"). Modifiers held without a key
// show as pending ("Ctrl+Alt+") and leave the value alone; letting them all go shows the value
// again.
class HotKeyBoxModel
{
public:
    static constexpr const char *EmptyText = "None";

    explicit HotKeyBoxModel(KeyNameLookup keyName = {})
        : m_keyName(std::move(keyName))
    {
    }

    unsigned HotKey() const { return m_value; }
    // Any value the catalogue holds, kept as it is (16 bits).
    void SetHotKey(unsigned value);

    // virtualKey: 0 for a key with no code. modifiers: the hotkey::Shift, Ctrl and Alt bits
    // held, the pressed key's own bit included or not. Returns whether the text changed.
    bool keyDown(int virtualKey, unsigned modifiers);
    bool keyUp(int virtualKey, unsigned modifiers);
    // Focus lost: nothing is held any more as far as the box knows.
    bool releaseAll();

    std::string text() const;

    // The modifier bit of a Shift, Ctrl or Alt key (either side), 0 for any other key.
    static unsigned modifierOfKey(int virtualKey);

private:
    KeyNameLookup m_keyName;
    unsigned m_value = 0;
    unsigned m_held = 0;
    bool m_pending = false;
};

} // namespace quorvel
