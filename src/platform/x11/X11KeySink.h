// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"
#include "platform/x11/X11Keyboard.h"

#include <array>
#include <chrono>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvel::x11 {

// Synthesises key events with XTest on the current XKB layout.
//
// Characters are looked up on the layout under the current locks and group (keyScan hands
// out identities above 0xFFFF for them). A character on level three is typed with
// ISO_Level3_Shift in place of the Ctrl+Alt the caller wraps around it; one the layout lacks
// is typed on a spare key bound to its keysym for the moment. Modifiers are pressed only when
// a key needs them, so a wrapped Ctrl+Alt never reaches the target.
//
// Spare keys are bound in batches: when a character needs one, the text announced by
// expectText gives the characters ahead, and as many of them as there are spare keys are bound
// in one go (characters without case two to a key, the second typed with Shift). A binding
// the text will want again soonest stays; the others make room.
class X11KeySink final : public KeySink
{
public:
    X11KeySink(X11Connection &connection, X11Keyboard &keyboard);
    ~X11KeySink() override;

    KeyScan keyScan(char32_t ch) override;
    unsigned scanCode(KeyCode key) override;
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    void typeCharacter(char32_t ch) override;
    void expectText(std::u32string_view text) override;
    void flush() override;
    void releaseAll() override;

    // How long a target gets to handle a key typed on a spare key before that key is bound to
    // something else. A target reads a new binding only when it handles the server's mapping
    // notification, which no request of ours can wait for; read too late, it would type the
    // key's next character in place of this one.
    void setRemapPause(std::chrono::milliseconds pause) { m_remapPause = pause; }
    std::chrono::milliseconds remapPause() const { return m_remapPause; }

    // Gives spare keys back once typing has paused for a while.
    void idle();

    // Identities keyScan hands out: a key of the layout and the level it is typed on.
    static constexpr KeyCode CharacterKey = 0x10000, ShiftLevel = 0x100, LevelThree = 0x200;

private:
    enum Modifier { ModShift, ModCtrl, ModAlt, ModLevel3, ModCount };
    using Wanted = std::array<bool, ModCount>;
    using Clock = std::chrono::steady_clock;

    // A spare key's binding: the keysym a plain press types, and the shifted one.
    struct SpareSyms
    {
        unsigned long lower = 0, upper = 0;
    };

    static int modifierOf(KeyCode key); // -1 for other keys
    // A cased pair makes the key alphabetic, so CapsLock works on it as on any letter.
    static SpareSyms spareSymsOf(unsigned long keysym);
    Wanted logicalWanted() const;
    unsigned modifierKey(int modifier);
    void fake(unsigned keycode, bool press);
    void setPhysical(int modifier, bool down);
    void reconcile(const Wanted &wanted);
    void releaseUnwanted();
    // The spare key bound to these keysyms and whether Shift is what picks them (on a key two
    // characters share), binding it (and what the text ahead needs) when none is; key 0 when
    // there is no spare key. ch is the character typed, 0 for a named key.
    std::pair<unsigned, bool> spareFor(const SpareSyms &syms, char32_t ch);
    // The characters ahead that need a spare key, in the order they first occur; syms first.
    std::vector<SpareSyms> spareNeedsAhead(const SpareSyms &syms, char32_t ch);
    void rebind(const std::vector<std::pair<unsigned, SpareSyms>> &bindings);
    // Whether the focused window, answering a ping sent now, has handled every key sent
    // before; false when it does not answer pings (or not in time).
    bool targetCaughtUp();
    unsigned long pingableFocus();
    void unbindSpares();
    bool isHeld(unsigned keycode) const;

    X11Connection &m_connection;
    X11Keyboard &m_keyboard;
    std::chrono::milliseconds m_remapPause { 25 };

    int m_logical[3] = { 0, 0, 0 }; // Shift, Ctrl and Alt as the caller holds them
    bool m_tap[3] = { false, false, false }; // held without a key since
    bool m_physical[ModCount] = { false, false, false, false };
    unsigned m_physicalKey[ModCount] = { 0, 0, 0, 0 };
    std::unordered_map<KeyCode, unsigned> m_pressed; // identity -> key held down
    std::unordered_map<unsigned, Clock::time_point> m_spareUsed;
    Clock::time_point m_lastSpareUse {};
    std::u32string m_ahead; // the text announced, from where typing last looked
    unsigned long m_focus = 0, m_focusPingable = 0; // the last focus seen, and what answers pings
    bool m_focusAnswered = false;
    bool m_hearsPingReplies = false;
    long m_pingToken = 0;
};

// GetAsyncKeyState's role, from XQueryKeymap.
class X11KeyboardState final : public KeyboardState
{
public:
    X11KeyboardState(X11Connection &connection, X11Keyboard &keyboard);
    ~X11KeyboardState() override;
    X11KeyboardState(const X11KeyboardState &) = delete;
    X11KeyboardState &operator=(const X11KeyboardState &) = delete;
    bool isKeyDown(KeyCode key) override;

private:
    using Clock = std::chrono::steady_clock;
    void query(_XDisplay *display, Clock::time_point now);

    X11Connection &m_connection;
    X11Keyboard &m_keyboard;
    // Asked on the typing connection, the question would wait for every key sent before it,
    // and typing would stall until the server caught up; a connection of its own is answered
    // at once. Null when it could not be opened.
    _XDisplay *m_side = nullptr;
    char m_keymap[32] = {};
    Clock::time_point m_queried {};
};

} // namespace quorvel::x11
