// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct xkb_keymap;
struct xkb_state;
struct zwp_virtual_keyboard_v1;

namespace quorvel::wayland {

// The keymap of our virtual keyboard: a US layout, built with xkbcommon, whose keys that type
// nothing (media and vendor keys) are spare, to be bound to whatever keysym the text needs.
// It is ours alone: the compositor hands it to a client only with our own keys, so the
// user's layout neither helps nor hinders.
class WaylandKeymap
{
public:
    // Throws Error when xkbcommon cannot build the layout.
    WaylandKeymap();

    struct Binding
    {
        unsigned keycode = 0; // XKB keycode (evdev + 8); 0 when none
        bool shift = false;
        bool valid() const { return keycode != 0; }
    };
    // The layout's key for a character, the plain level before the shifted one.
    Binding findCharacter(char32_t ch) const;
    // The layout's key for a keysym (named keys), at the level Shift picks when needed.
    Binding findKeysym(std::uint32_t keysym) const;

    const std::vector<unsigned> &spareKeys() const { return m_spares; }
    // The keysym a spare key types; 0 when unbound. A keysym with case is bound with its
    // upper case on the shifted level, so Shift and CapsLock work on it as on any letter.
    std::uint32_t spareBinding(unsigned keycode) const;
    void bindSpare(unsigned keycode, std::uint32_t keysym);

    // The modifiers the layout's keys held and locked give, serialised as the protocol wants.
    struct Modifiers
    {
        std::uint32_t depressed = 0, latched = 0, locked = 0, group = 0;
    };
    // Follows a key going down or up; true when the modifiers changed.
    bool updateModifiers(unsigned keycode, bool press);
    Modifiers modifiers() const;

    // The whole keymap as XKB text, spare bindings included: self-contained, as a client
    // compiles it.
    std::string text() const;

private:
    struct KeymapFree
    {
        void operator()(xkb_keymap *keymap) const;
    };
    struct StateFree
    {
        void operator()(xkb_state *state) const;
    };

    std::unique_ptr<xkb_keymap, KeymapFree> m_base; // without spare bindings: they modify nothing
    std::unique_ptr<xkb_state, StateFree> m_state;
    std::string m_head, m_tail; // the layout's text before and after the spare keys' lines
    std::vector<unsigned> m_spares;
    std::unordered_map<unsigned, std::string> m_spareNames; // keycode -> XKB key name
    std::unordered_map<unsigned, std::uint32_t> m_bound; // spare keycode -> keysym
    std::unordered_map<char32_t, Binding> m_characters;
    std::unordered_map<std::uint32_t, Binding> m_keysyms;
};

// Hands the keymap to a virtual keyboard, with the modifiers held sent again. Keys read with it
// must wait for a roundtrip. Throws Error when it cannot.
void sendKeymap(zwp_virtual_keyboard_v1 *keyboard, const WaylandKeymap &keymap);
// Sends a key (an XKB keycode) to a virtual keyboard, and the modifiers when the key changes
// them; returns how many requests went.
int sendKey(zwp_virtual_keyboard_v1 *keyboard, WaylandKeymap &keymap, unsigned keycode, bool press);
// The time stamp of an input event: milliseconds of the monotonic clock.
std::uint32_t eventTime();

} // namespace quorvel::wayland
