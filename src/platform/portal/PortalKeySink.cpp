// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/PortalKeySink.h"

#include "common/Error.h"
#include "common/Text.h"
#include "platform/portal/Clipboard.h"
#include "platform/portal/KeyInput.h"
#include "platform/portal/NamedKeys.h"

#include <algorithm>
#include <array>
#include <xkbcommon/xkbcommon.h>

namespace quorvel::portal {

namespace {

constexpr unsigned kLeftCtrl = 29, kLeftShift = 42, kKeyV = 47;
// How long a program other than a terminal may take to insert a paste it has read: GTK 4
// does it in a later turn of its loop, and a key sent meanwhile lands before the text.
constexpr auto kInsertWait = std::chrono::milliseconds(50);
// Modifier keys we may hold: Shift, Ctrl, Alt, AltGr and the logo keys of both sides.
constexpr std::array<unsigned, 8> kModifiers { 42, 54, 29, 97, 56, 100, 125, 126 };

bool isControl(char32_t ch)
{
    return ch < 0x20 || ch == 0x7F;
}

char32_t upperCase(char32_t ch)
{
    const char32_t upper = xkb_keysym_to_utf32(xkb_keysym_to_upper(xkb_utf32_to_keysym(ch)));
    return upper ? upper : ch;
}

} // namespace

PortalKeySink::PortalKeySink(KeyInput &session, const xkb::LayoutNames &layout, PasteRoute *paste,
    std::function<std::string()> focusedAppId)
    : m_session(session)
    , m_layout(layout)
    , m_paste(paste)
    , m_focusedAppId(std::move(focusedAppId))
{
}

PortalKeySink::~PortalKeySink()
{
    try {
        releaseAll();
    } catch (const Error &) {
        // The portal is gone, and our keys with it.
    }
}

bool PortalKeySink::lacks(char32_t ch) const
{
    return !isControl(ch) && !m_layout.character(ch);
}

CharacterRoute PortalKeySink::routeOf(char32_t ch)
{
    if (!lacks(ch))
        return CharacterRoute::Key;
    return m_paste ? CharacterRoute::Pasted : CharacterRoute::None;
}

KeyScan PortalKeySink::keyScan(char32_t ch)
{
    // The core asks for every character it types, before typing it: here the text announced
    // keeps step, and what a paste carried ahead is typed as nothing.
    if (!m_pasted.empty()) {
        if (m_pasted.front() == ch) {
            m_pasted.erase(0, 1);
            m_ahead.consume(ch);
            return { PastedKey, 0 };
        }
        m_pasted.clear();
    }
    m_scanned = ch;
    m_scannedAnnounced = m_ahead.consume(ch);
    if (isControl(ch))
        return controlKeyScan(ch);
    if (auto it = m_identityOf.find(ch); it != m_identityOf.end())
        return { it->second, 0 };
    const std::optional<xkb::KeyStroke> stroke = m_layout.character(ch);
    if (!stroke)
        return {};
    // The stroke's own modifiers go with its key: AltGr is no Windows shift state.
    const KeyCode identity = CharacterKey | KeyCode(m_strokes.size());
    m_strokes.push_back(*stroke);
    m_identityOf.emplace(ch, identity);
    return { identity, 0 };
}

std::vector<unsigned> PortalKeySink::keysOf(KeyCode key)
{
    if (key == PastedKey)
        return {};
    if (key & CharacterKey) {
        const std::size_t index = std::size_t(key & 0xFFFF);
        if (index >= m_strokes.size())
            return {};
        std::vector<unsigned> keys = m_strokes[index].modifiers;
        keys.push_back(m_strokes[index].key);
        return keys;
    }
    const NamedKey named = namedKey(key);
    unsigned evdev = named.evdev;
    // A letter is the key that types it on this layout (Z and Y swap places on some).
    if (key >= 0x41 && key <= 0x5A)
        evdev = m_layout.keysym(std::uint32_t('a' + (key - 0x41))).value_or(evdev);
    if (!evdev)
        return {};
    if (named.shift)
        return { kLeftShift, evdev };
    return { evdev };
}

unsigned PortalKeySink::scanCode(KeyCode key)
{
    const std::vector<unsigned> keys = keysOf(key);
    return keys.empty() ? 0 : keys.back();
}

void PortalKeySink::press(unsigned evdev)
{
    // Down only once it went out: a press the desktop never had (its session was refused or
    // broken off) must not be released later, which would ask for a session again.
    if (auto it = m_down.find(evdev); it != m_down.end()) {
        ++it->second;
        return;
    }
    m_session.keycode(evdev, true);
    m_down.emplace(evdev, 1);
}

void PortalKeySink::release(unsigned evdev)
{
    auto it = m_down.find(evdev);
    if (it == m_down.end() || --it->second > 0)
        return;
    m_down.erase(it);
    m_session.keycode(evdev, false);
}

bool PortalKeySink::isLingering(unsigned evdev) const
{
    return std::find(m_lingering.begin(), m_lingering.end(), evdev) != m_lingering.end();
}

void PortalKeySink::letGoLingering(const std::vector<unsigned> &keep)
{
    std::vector<unsigned> kept;
    for (unsigned k : m_lingering) {
        if (std::find(keep.begin(), keep.end(), k) != keep.end())
            kept.push_back(k);
        else
            release(k);
    }
    m_lingering = std::move(kept);
}

void PortalKeySink::keyEvent(KeyCode key, unsigned, bool, bool isRelease)
{
    if (isRelease) {
        auto it = m_pressed.find(key);
        if (it == m_pressed.end())
            return;
        // The key itself first, then the modifiers it needed; a character's own Shift or
        // AltGr stays down for the next character that needs it too, which halves the keys
        // of a word in capitals.
        const bool character = (key & CharacterKey) != 0;
        for (auto k = it->second.rbegin(); k != it->second.rend(); ++k) {
            if (character && k != it->second.rbegin() && m_down[*k] == 1)
                m_lingering.push_back(*k);
            else
                release(*k);
        }
        m_pressed.erase(it);
        return;
    }
    if (m_pressed.contains(key))
        return;
    std::vector<unsigned> keys = keysOf(key);
    if (keys.empty())
        return;
    // Modifiers left down that this key does not want go up first; those it wants it takes.
    letGoLingering(keys);
    for (unsigned k : keys) {
        if (auto l = std::find(m_lingering.begin(), m_lingering.end(), k); l != m_lingering.end())
            m_lingering.erase(l);
        else
            press(k);
    }
    m_pressed.emplace(key, std::move(keys));
}

void PortalKeySink::typeCharacter(char32_t ch)
{
    letGoLingering();
    m_pasted.clear();
    const bool announced = m_scannedAnnounced && m_scanned == ch;
    m_scannedAnnounced = false;
    if (!m_paste || isControl(ch))
        return;
    const bool modified = std::any_of(
        kModifiers.begin(), kModifiers.end(), [this](unsigned k) { return m_down.contains(k); });
    if (modified) {
        // A macro's Shift makes the character upper case, as a key would; the rest of a run
        // is not under it.
        const bool shift = m_down.contains(kLeftShift) || m_down.contains(54);
        paste(std::u32string(1, shift ? upperCase(ch) : ch));
        return;
    }
    std::u32string run(1, ch);
    if (announced) {
        run += m_ahead.text();
        run = lackingRun(
            run, [this](char32_t c) { return lacks(c); }, MaxPaste);
    }
    m_pasted = run.substr(1);
    paste(run);
}

void PortalKeySink::paste(const std::u32string &text)
{
    const std::string app = m_focusedAppId ? m_focusedAppId() : std::string();
    const bool terminal = isTerminal(app);
    const unsigned v = m_layout.keysym('v').value_or(kKeyV);
    // Our held modifiers would change the paste key: they go up around it.
    std::vector<unsigned> held;
    for (unsigned k : kModifiers) {
        if (m_down.contains(k))
            held.push_back(k);
    }
    const auto pressPasteKey = [&] {
        for (unsigned k : held)
            m_session.keycode(k, false);
        m_session.keycode(kLeftCtrl, true);
        if (terminal)
            m_session.keycode(kLeftShift, true);
        m_session.keycode(v, true);
        m_session.keycode(v, false);
        if (terminal)
            m_session.keycode(kLeftShift, false);
        m_session.keycode(kLeftCtrl, false);
        for (unsigned k : held)
            m_session.keycode(k, true);
        m_session.sync();
    };
    m_paste->paste(
        text::encode(text), pressPasteKey, terminal ? std::chrono::milliseconds(0) : kInsertWait);
    ++m_pastes;
}

void PortalKeySink::expectText(std::u32string_view text)
{
    m_ahead.announce(text);
}

void PortalKeySink::flush()
{
    letGoLingering();
    m_session.sync();
}

void PortalKeySink::deliverSoFar()
{
    m_session.push();
}

void PortalKeySink::releaseAll()
{
    for (const auto &[k, count] : m_down)
        m_session.keycode(k, false);
    m_down.clear();
    m_lingering.clear();
    m_pressed.clear();
    m_pasted.clear();
    m_ahead.clear();
    m_session.sync();
}

void PortalKeySink::userShortcutHeld(bool held)
{
    m_userHeld = held;
    m_userSince = std::chrono::steady_clock::now();
}

bool PortalKeySink::userModifiersMayBeDown() const
{
    // A hand lets go of the modifiers a moment after the key; a release may never be told.
    using namespace std::chrono_literals;
    const auto since = std::chrono::steady_clock::now() - m_userSince;
    return m_userSince.time_since_epoch().count() != 0 && since < (m_userHeld ? 2s : 150ms);
}

bool PortalKeySink::isKeyDown(KeyCode key)
{
    switch (key) {
    case vk::Shift:
    case vk::Control:
    case vk::Menu:
        if (userModifiersMayBeDown())
            return true;
        break;
    default:
        break;
    }
    const std::vector<unsigned> keys = keysOf(key);
    return !keys.empty() && m_down.contains(keys.back()) && !isLingering(keys.back());
}

} // namespace quorvel::portal
