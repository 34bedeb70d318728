// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"
#include "platform/wayland/PacedRequests.h"
#include "platform/wayland/WaylandKeymap.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct zwp_virtual_keyboard_v1;

namespace quorvel::wayland {

class WaylandConnection;

// Types through a virtual keyboard (zwp_virtual_keyboard_v1) with a keymap of our own.
//
// Characters of the US layout are typed on its keys (keyScan hands out identities above 0xFFFF
// for them); any other character, and a named key the layout lacks, goes on a spare key.
// Spare keys are bound in batches: the text announced by expectText gives the characters
// ahead, and as many as there are spare keys are bound with one new keymap, keeping the
// bindings the text wants soonest. A key of a new keymap is sent only once the compositor has
// taken that keymap, so no key is read with the keymap before it.
//
// Typing waits while a client lags far behind the keys (see TypingPace), as the compositor
// drops one whose queue fills.
//
// The compositor keeps each keyboard's keys and modifiers apart: the user's held keys do not
// reach what we type, and we cannot see them (isKeyDown answers for our own keys only).
class WaylandKeySink final : public KeySink, public KeyboardState
{
public:
    // Throws Error when the compositor offers no virtual keyboard or no seat.
    explicit WaylandKeySink(WaylandConnection &connection);
    ~WaylandKeySink() override;
    WaylandKeySink(const WaylandKeySink &) = delete;
    WaylandKeySink &operator=(const WaylandKeySink &) = delete;

    // Characters: the layout's own keys, or spare keys of our keymap.
    KeyScan keyScan(char32_t ch) override;
    void expectText(std::u32string_view text) override;
    void typeCharacter(char32_t ch) override;
    // Named keys, straight to their evdev codes.
    unsigned scanCode(KeyCode key) override;
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    // Both end with a roundtrip: the compositor has taken every key.
    void flush() override;
    void releaseAll() override;

    bool isKeyDown(KeyCode key) override;

    // How many keymaps have been sent, the first included.
    int keymapCount() const { return m_keymaps; }

    // Identities keyScan hands out: a key of the layout and whether Shift types it.
    static constexpr KeyCode CharacterKey = 0x10000, ShiftLevel = 0x100;

private:
    void send(unsigned keycode, bool press);
    void uploadKeymap();
    // The spare key bound to the keysym, binding it (and what the text ahead needs) when none
    // is; 0 when there is no spare key. ch is the character typed, 0 for a named key.
    unsigned spareFor(std::uint32_t keysym, char32_t ch);
    std::vector<std::uint32_t> needsAhead(std::uint32_t keysym, char32_t ch);
    bool isHeld(unsigned keycode) const;

    WaylandConnection &m_connection;
    WaylandKeymap m_keymap;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    PacedRequests m_paced;
    std::unordered_map<KeyCode, std::vector<unsigned>> m_pressed; // identity -> keys it holds
    std::unordered_map<unsigned, int> m_down; // key -> how many presses hold it
    std::unordered_map<std::uint32_t, unsigned> m_spareOf; // keysym -> spare key
    std::u32string m_ahead; // the text announced, from where typing last looked
    int m_keymaps = 0;
};

} // namespace quorvel::wayland
