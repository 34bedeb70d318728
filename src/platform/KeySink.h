// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Named keys are Windows virtual-key codes, so catalogues and traces stay compatible.
// A sink may hand out identities above 0xFF for keys of its own layout.
using KeyCode = int;

namespace vk {
constexpr KeyCode Back = 0x08, Tab = 0x09, Return = 0x0D, Shift = 0x10, Control = 0x11, Menu = 0x12,
                  Escape = 0x1B, Space = 0x20, Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24,
                  Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28, Snapshot = 0x2C, Insert = 0x2D,
                  Delete = 0x2E, Numpad0 = 0x60, F1 = 0x70, F12 = 0x7B, F24 = 0x87;
} // namespace vk

// What VkKeyScanA reports: the key and the shift state (bit 0 Shift, bit 1 Ctrl, bit 2 Alt).
struct KeyScan
{
    KeyCode key = -1;
    int shiftState = 0;
    bool valid() const { return key >= 0; }
};

// VkKeyScanA's answer for a control character (below 0x20, and DEL), on any layout.
inline KeyScan controlKeyScan(char32_t ch)
{
    switch (ch) {
    case U'\b':
        return { vk::Back, 0 };
    case U'\t':
        return { vk::Tab, 0 };
    case U'\r':
        return { vk::Return, 0 };
    case U'\n':
        return { vk::Return, 2 };
    case 0x1B:
        return { vk::Escape, 0 };
    case 0x7F:
        return { vk::Back, 2 };
    default:
        break;
    }
    if (ch >= 1 && ch <= 26)
        return { KeyCode(0x40 + ch), 2 };
    return {};
}

// For a sink's look-ahead: drops the text announced by expectText up to ch; false, with the
// text forgotten, when ch is not in it (typing has left the text announced).
inline bool advanceTo(std::u32string &ahead, char32_t ch)
{
    const std::size_t at = ahead.find(ch);
    if (at == std::u32string::npos) {
        ahead.clear();
        return false;
    }
    ahead.erase(0, at);
    return true;
}

// How a character reaches the focused program on this desktop.
enum class CharacterRoute {
    Key, // a key of the layout
    BoundKey, // a spare key bound to it for the moment
    Pasted, // through the clipboard and the program's paste key
    None, // no route: a run that holds it stops before typing anything
};

class KeySink
{
public:
    virtual ~KeySink() = default;
    // The route typeCharacter takes for ch when keyScan finds no key.
    virtual CharacterRoute routeOf(char32_t ch)
    {
        return keyScan(ch).valid() ? CharacterRoute::Key : CharacterRoute::BoundKey;
    }

    // The key and shift state that type ch on the current layout; invalid when none does.
    virtual KeyScan keyScan(char32_t ch) = 0;
    // MapVirtualKeyA(key, 0).
    virtual unsigned scanCode(KeyCode key) = 0;
    // One synthesised key transition (keybd_event).
    virtual void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) = 0;
    // Types a character that no key of the layout produces.
    virtual void typeCharacter(char32_t ch) = 0;
    // The text about to be typed, from here on: a sink may prepare keys for what is ahead.
    // Only a hint; what is really typed may differ.
    virtual void expectText(std::u32string_view) { }
    // The end of one keystroke string: deliver what was sent.
    virtual void flush() { }
    // Between the pieces of one text, where nothing waits on the keys having arrived: a sink
    // whose flush() waits for a round trip may let them stay in flight.
    virtual void deliverSoFar() { flush(); }
    // After a run or a failed run: no key synthesised by us may stay down.
    virtual void releaseAll() { }
};

// GetAsyncKeyState's role: whether the user holds a key down right now.
class KeyboardState
{
public:
    virtual ~KeyboardState() = default;
    virtual bool isKeyDown(KeyCode key) = 0;
};

} // namespace quorvel
