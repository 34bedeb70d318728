// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"
#include "platform/portal/PasteRules.h"
#include "platform/xkb/LayoutKeys.h"

#include <chrono>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvel::portal {

class KeyInput;
class PasteRoute;

// Types through the RemoteDesktop portal as keycodes of the desktop's own layout, which the
// desktop cannot change for us: characters of the layout on their keys, named keys on theirs.
//
// Keys go out pipelined (see RemoteDesktopSession); flush() and releaseAll() end with the one
// round trip after which the desktop has every key.
//
// A character the layout lacks goes through the paste route, when there is one: the run of
// such characters the announced text (expectText) holds from it goes in one paste, with the
// paste key the program with the focus takes (Ctrl+Shift+V in terminals, else Ctrl+V).
// Without a paste route routeOf answers None for them, so a run stops before typing.
//
// The desktop merges our keys with the user's: isKeyDown answers for our own keys, and for
// Shift, Ctrl and Alt while a hot key of the user's may still hold them (userShortcutHeld).
class PortalKeySink final : public KeySink, public KeyboardState
{
public:
    // session: a RemoteDesktopSession (see there) or a stand-in; paste may be null; focusedAppId
    // gives the app id or resource class of the window with the focus (empty when unknown). Throws
    // Error when xkbcommon cannot build the layout.
    PortalKeySink(KeyInput &session, const xkb::LayoutNames &layout, PasteRoute *paste = nullptr,
        std::function<std::string()> focusedAppId = {});
    ~PortalKeySink() override;
    PortalKeySink(const PortalKeySink &) = delete;
    PortalKeySink &operator=(const PortalKeySink &) = delete;

    CharacterRoute routeOf(char32_t ch) override;
    KeyScan keyScan(char32_t ch) override;
    unsigned scanCode(KeyCode key) override;
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    void typeCharacter(char32_t ch) override;
    void expectText(std::u32string_view text) override;
    void flush() override;
    // Between pieces of one text the keys go on flowing: the session waits for the desktop
    // every so often by itself, and at the text's end.
    void deliverSoFar() override;
    void releaseAll() override;

    bool isKeyDown(KeyCode key) override;
    // The desktop shows no key of the user's, but says when a hot key is pressed and let go:
    // its modifiers count as down from then until a moment after it is let go (or, with no
    // word of that, for a while).
    void userShortcutHeld(bool held);

    // How many pastes the characters the layout lacks took.
    int pasteCount() const { return m_pastes; }

    // Identities keyScan hands out: CharacterKey plus the index of the keystroke.
    static constexpr KeyCode CharacterKey = 0x10000;
    // keyScan's identity for a character a paste already carried: it types nothing.
    static constexpr KeyCode PastedKey = 0x0FFFF;
    // The most characters one paste carries.
    static constexpr std::size_t MaxPaste = 400;

private:
    bool userModifiersMayBeDown() const;
    // The evdev keys a key identity presses, modifiers first; empty when it has none.
    std::vector<unsigned> keysOf(KeyCode key);
    bool lacks(char32_t ch) const;
    bool isLingering(unsigned evdev) const;
    void letGoLingering(const std::vector<unsigned> &keep = {});
    void press(unsigned evdev);
    void release(unsigned evdev);
    void paste(const std::u32string &text);

    KeyInput &m_session;
    xkb::LayoutKeys m_layout;
    PasteRoute *m_paste;
    std::function<std::string()> m_focusedAppId;
    std::vector<xkb::KeyStroke> m_strokes; // by the index in a CharacterKey identity
    std::unordered_map<char32_t, KeyCode> m_identityOf;
    std::unordered_map<KeyCode, std::vector<unsigned>> m_pressed; // identity -> keys it holds
    std::unordered_map<unsigned, int> m_down; // evdev key -> how many presses hold it
    std::vector<unsigned> m_lingering; // modifiers of a character, down for the next one
    TextAhead m_ahead;
    std::u32string m_pasted; // characters a paste carried ahead of their typing
    char32_t m_scanned = 0; // the character keyScan was last asked for
    bool m_scannedAnnounced = false; // and it was the next one announced
    int m_pastes = 0;
    bool m_userHeld = false; // a hot key of the user's is down
    std::chrono::steady_clock::time_point m_userSince; // when it was pressed or let go
};

} // namespace quorvel::portal
