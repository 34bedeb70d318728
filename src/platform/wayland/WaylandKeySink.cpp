// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandKeySink.h"

#include "common/Error.h"
#include "platform/wayland/WaylandConnection.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <algorithm>
#include <unordered_set>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace quorvel::wayland {

namespace {

// How much of the text ahead a batch of spare bindings is chosen from.
constexpr std::size_t kLookAhead = 1024;
constexpr unsigned kEvdevOffset = 8; // XKB keycodes are evdev codes plus 8

// A named key: its evdev code, and whether the layout types it with Shift; a key the layout
// lacks has its keysym instead, to go on a spare key.
struct NamedKey
{
    unsigned evdev = 0;
    bool shift = false;
    std::uint32_t keysym = 0;
};

NamedKey namedKey(KeyCode vk)
{
    // Letters in the order of the alphabet, digits from 0.
    static constexpr unsigned letters[26] = { 30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
        49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44 };
    static constexpr unsigned digits[10] = { 11, 2, 3, 4, 5, 6, 7, 8, 9, 10 };
    static constexpr unsigned keypad[10] = { 82, 79, 80, 81, 75, 76, 77, 71, 72, 73 };
    if (vk >= 0x41 && vk <= 0x5A)
        return { letters[vk - 0x41] };
    if (vk >= 0x30 && vk <= 0x39)
        return { digits[vk - 0x30] };
    // Keypad digits stay digits: with NumLock off, Shift picks them.
    if (vk >= 0x60 && vk <= 0x69)
        return { keypad[vk - 0x60], true };
    if (vk >= 0x70 && vk <= 0x79)
        return { 59 + unsigned(vk - 0x70) };
    if (vk >= 0x7C && vk <= 0x87)
        return { 0, false, XKB_KEY_F13 + std::uint32_t(vk - 0x7C) };
    switch (vk) {
    case 0x03:
        return { 0, false, XKB_KEY_Cancel };
    case 0x08:
        return { 14 };
    case 0x09:
        return { 15 };
    case 0x0C:
        return { 0, false, XKB_KEY_Clear };
    case 0x0D:
        return { 28 };
    case 0x10:
    case 0xA0:
        return { 42 };
    case 0x11:
    case 0xA2:
        return { 29 };
    case 0x12:
    case 0xA4:
        return { 56 };
    case 0x13:
        return { 119 };
    case 0x14:
        return { 58 };
    case 0x1B:
        return { 1 };
    case 0x20:
        return { 57 };
    case 0x21:
        return { 104 };
    case 0x22:
        return { 109 };
    case 0x23:
        return { 107 };
    case 0x24:
        return { 102 };
    case 0x25:
        return { 105 };
    case 0x26:
        return { 103 };
    case 0x27:
        return { 106 };
    case 0x28:
        return { 108 };
    case 0x29:
        return { 0, false, XKB_KEY_Select };
    case 0x2A:
    case 0x2C:
        return { 99 };
    case 0x2B:
        return { 0, false, XKB_KEY_Execute };
    case 0x2D:
        return { 110 };
    case 0x2E:
        return { 111 };
    case 0x2F:
        return { 138 };
    case 0x5B:
        return { 125 };
    case 0x5C:
        return { 126 };
    case 0x5D:
        return { 127 };
    case 0x6A:
        return { 55 };
    case 0x6B:
        return { 78 };
    case 0x6C:
        return { 0, false, XKB_KEY_KP_Separator };
    case 0x6D:
        return { 74 };
    case 0x6E:
        return { 83, true };
    case 0x6F:
        return { 98 };
    case 0x7A:
        return { 87 };
    case 0x7B:
        return { 88 };
    case 0x90:
        return { 69 };
    case 0x91:
        return { 70 };
    case 0xA1:
        return { 54 };
    case 0xA3:
        return { 97 };
    case 0xA5:
        return { 100 };
    case 0xBA:
        return { 39 };
    case 0xBB:
        return { 13 };
    case 0xBC:
        return { 51 };
    case 0xBD:
        return { 12 };
    case 0xBE:
        return { 52 };
    case 0xBF:
        return { 53 };
    case 0xC0:
        return { 41 };
    case 0xDB:
        return { 26 };
    case 0xDC:
        return { 43 };
    case 0xDD:
        return { 27 };
    case 0xDE:
        return { 40 };
    case 0xE2:
        return { 86 };
    default:
        return {};
    }
}

// The keysym a character's spare key is bound to: its lower case when the key's shifted level
// gives it back (not for title case), else itself.
std::uint32_t spareKeysymOf(std::uint32_t keysym)
{
    const std::uint32_t lower = xkb_keysym_to_lower(keysym);
    return lower != keysym && xkb_keysym_to_upper(lower) == keysym ? lower : keysym;
}

} // namespace

WaylandKeySink::WaylandKeySink(WaylandConnection &connection)
    : m_connection(connection)
    , m_paced(connection)
{
    auto *manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
        connection.bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!manager)
        throw Error("The compositor offers no virtual keyboard (zwp_virtual_keyboard_v1).");
    if (!connection.seat()) {
        zwp_virtual_keyboard_manager_v1_destroy(manager);
        throw Error("The compositor offers no seat.");
    }
    m_keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, connection.seat());
    zwp_virtual_keyboard_manager_v1_destroy(manager);
    uploadKeymap();
}

WaylandKeySink::~WaylandKeySink()
{
    try {
        releaseAll();
    } catch (const Error &) {
        // The connection is gone, and our keys with it.
    }
    zwp_virtual_keyboard_v1_destroy(m_keyboard);
    wl_display_flush(m_connection.display());
}

void WaylandKeySink::uploadKeymap()
{
    sendKeymap(m_keyboard, m_keymap);
    ++m_keymaps;
    // Keys of the new keymap wait until the compositor has it.
    m_connection.roundtrip();
    m_paced.flushed();
}

void WaylandKeySink::send(unsigned keycode, bool press)
{
    m_paced.sent(sendKey(m_keyboard, m_keymap, keycode, press));
}

KeyScan WaylandKeySink::keyScan(char32_t ch)
{
    if (ch < 0x20 || ch == 0x7F)
        return controlKeyScan(ch);
    const WaylandKeymap::Binding b = m_keymap.findCharacter(ch);
    if (!b.valid())
        return {};
    return { CharacterKey | KeyCode(b.keycode) | (b.shift ? ShiftLevel : 0), b.shift ? 1 : 0 };
}

unsigned WaylandKeySink::scanCode(KeyCode key)
{
    if (key & CharacterKey)
        return unsigned(key & 0xFF) - kEvdevOffset;
    return namedKey(key).evdev;
}

void WaylandKeySink::keyEvent(KeyCode key, unsigned, bool, bool release)
{
    if (release) {
        auto it = m_pressed.find(key);
        if (it == m_pressed.end())
            return;
        // The key itself first, then the Shift it needed.
        for (auto kc = it->second.rbegin(); kc != it->second.rend(); ++kc) {
            if (--m_down[*kc] == 0) {
                m_down.erase(*kc);
                send(*kc, false);
            }
        }
        m_pressed.erase(it);
        return;
    }
    if (m_pressed.contains(key))
        return;
    std::vector<unsigned> keys;
    if (key & CharacterKey) {
        keys.push_back(unsigned(key & 0xFF));
    } else {
        const NamedKey named = namedKey(key);
        if (named.shift)
            keys.push_back(42 + kEvdevOffset);
        if (named.evdev) {
            keys.push_back(named.evdev + kEvdevOffset);
        } else if (named.keysym) {
            const unsigned spare = spareFor(named.keysym, 0);
            if (!spare)
                return;
            keys.push_back(spare);
        } else {
            return;
        }
    }
    for (unsigned kc : keys) {
        if (m_down[kc]++ == 0)
            send(kc, true);
    }
    m_pressed.emplace(key, std::move(keys));
}

void WaylandKeySink::typeCharacter(char32_t ch)
{
    if (ch < 0x20)
        return;
    const std::uint32_t keysym = xkb_utf32_to_keysym(ch);
    if (!keysym)
        return;
    // A character with case goes on its lower case's key; Shift types the upper.
    const std::uint32_t lower = spareKeysymOf(keysym);
    const unsigned kc = spareFor(lower, ch);
    if (!kc)
        return;
    constexpr unsigned shiftKey = 42 + kEvdevOffset;
    const bool shift = keysym != lower && !m_down.contains(shiftKey);
    if (shift)
        send(shiftKey, true);
    send(kc, true);
    send(kc, false);
    if (shift)
        send(shiftKey, false);
}

void WaylandKeySink::expectText(std::u32string_view text)
{
    m_ahead.assign(text.substr(0, kLookAhead));
}

std::vector<std::uint32_t> WaylandKeySink::needsAhead(std::uint32_t keysym, char32_t ch)
{
    std::vector<std::uint32_t> needs { keysym };
    if (!ch)
        return needs;
    if (!advanceTo(m_ahead, ch))
        return needs;
    const std::size_t room = m_keymap.spareKeys().size();
    std::unordered_set<std::uint32_t> seen { keysym };
    for (const char32_t c : m_ahead) {
        if (needs.size() >= room)
            break;
        if (c < 0x20 || m_keymap.findCharacter(c).valid())
            continue;
        const std::uint32_t need = spareKeysymOf(xkb_utf32_to_keysym(c));
        if (need && seen.insert(need).second)
            needs.push_back(need);
    }
    return needs;
}

unsigned WaylandKeySink::spareFor(std::uint32_t keysym, char32_t ch)
{
    if (auto it = m_spareOf.find(keysym); it != m_spareOf.end())
        return it->second;
    const std::vector<std::uint32_t> needs = needsAhead(keysym, ch);
    const std::unordered_set<std::uint32_t> wanted(needs.begin(), needs.end());
    // Empty keys first, then those bound to what the text does not want soon; held keys stay.
    std::vector<unsigned> free;
    for (unsigned kc : m_keymap.spareKeys()) {
        if (!m_keymap.spareBinding(kc))
            free.push_back(kc);
    }
    for (unsigned kc : m_keymap.spareKeys()) {
        const std::uint32_t bound = m_keymap.spareBinding(kc);
        if (bound && !wanted.contains(bound) && !isHeld(kc))
            free.push_back(kc);
    }
    auto next = free.begin();
    for (const std::uint32_t need : needs) {
        if (m_spareOf.contains(need))
            continue;
        if (next == free.end())
            break;
        const unsigned kc = *next++;
        if (const std::uint32_t old = m_keymap.spareBinding(kc))
            m_spareOf.erase(old);
        m_keymap.bindSpare(kc, need);
        m_spareOf[need] = kc;
    }
    if (!m_spareOf.contains(keysym))
        return 0;
    uploadKeymap();
    return m_spareOf.at(keysym);
}

bool WaylandKeySink::isHeld(unsigned keycode) const
{
    return m_down.contains(keycode);
}

void WaylandKeySink::flush()
{
    // Typing is over only once the compositor has taken every key.
    m_connection.roundtrip();
    m_paced.flushed();
}

void WaylandKeySink::releaseAll()
{
    for (const auto &[kc, count] : m_down)
        send(kc, false);
    m_down.clear();
    m_pressed.clear();
    m_ahead.clear();
    flush();
}

bool WaylandKeySink::isKeyDown(KeyCode key)
{
    if (key & CharacterKey)
        return m_down.contains(unsigned(key & 0xFF));
    const NamedKey named = namedKey(key);
    if (named.evdev)
        return m_down.contains(named.evdev + kEvdevOffset);
    auto it = m_spareOf.find(named.keysym);
    return it != m_spareOf.end() && m_down.contains(it->second);
}

} // namespace quorvel::wayland
