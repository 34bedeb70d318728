#pragma once

#include "platform/KeySink.h"
#include "platform/x11/X11Keyboard.h"

#include <array>
#include <chrono>
#include <unordered_map>
#include <vector>

namespace quorvel::x11 {

// Synthesises key events with XTest on the current XKB layout.
//
// Characters are looked up on the layout under the current locks and group (keyScan hands
// out identities above 0xFFFF for them). A character on level three is typed with
// ISO_Level3_Shift in place of the Ctrl+Alt the caller wraps around it; one the layout lacks
// is typed on a spare key bound to its keysym for the moment. Modifiers are pressed only when
// a key needs them, so a wrapped Ctrl+Alt never reaches the target.
class X11KeySink final : public KeySink
{
public:
    X11KeySink(X11Connection &connection, X11Keyboard &keyboard);
    ~X11KeySink() override;

    KeyScan keyScan(char32_t ch) override;
    unsigned scanCode(KeyCode key) override;
    void keyEvent(KeyCode key, unsigned scan, bool extended, bool release) override;
    void typeCharacter(char32_t ch) override;
    void flush() override;
    void releaseAll() override;

    // How long a target gets to learn a new binding of a spare key before it is used, and to
    // handle the key before the binding changes again. Targets only see the change when they
    // handle the mapping notification, which no request of ours can wait for.
    void setRemapPause(std::chrono::milliseconds pause) { m_remapPause = pause; }
    std::chrono::milliseconds remapPause() const { return m_remapPause; }

    // Gives spare keys back once typing has paused for a while.
    void idle();

    // Identities keyScan hands out: a key of the layout and the level it is typed on.
    static constexpr KeyCode CharacterKey = 0x10000, ShiftLevel = 0x100, LevelThree = 0x200;

private:
    enum Modifier { ModShift, ModCtrl, ModAlt, ModLevel3, ModCount };
    using Wanted = std::array<bool, ModCount>;

    static int modifierOf(KeyCode key); // -1 for other keys
    Wanted logicalWanted() const;
    unsigned modifierKey(int modifier);
    void fake(unsigned keycode, bool press);
    void setPhysical(int modifier, bool down);
    void reconcile(const Wanted &wanted);
    void releaseUnwanted();
    // A spare key bound to the keysyms; 0 when there is none.
    unsigned bindSpare(unsigned long lower, unsigned long upper);
    void unbindSpares();
    void waitForTarget(unsigned spare);

    X11Connection &m_connection;
    X11Keyboard &m_keyboard;
    std::chrono::milliseconds m_remapPause { 10 };

    int m_logical[3] = { 0, 0, 0 }; // Shift, Ctrl and Alt as the caller holds them
    bool m_tap[3] = { false, false, false }; // held without a key since
    bool m_physical[ModCount] = { false, false, false, false };
    unsigned m_physicalKey[ModCount] = { 0, 0, 0, 0 };
    std::unordered_map<KeyCode, unsigned> m_pressed; // identity -> key held down
    std::unordered_map<unsigned, std::chrono::steady_clock::time_point> m_spareUsed;
    std::chrono::steady_clock::time_point m_lastSpareUse {};
};

// GetAsyncKeyState's role, from XQueryKeymap.
class X11KeyboardState final : public KeyboardState
{
public:
    X11KeyboardState(X11Connection &connection, X11Keyboard &keyboard);
    bool isKeyDown(KeyCode key) override;

private:
    X11Connection &m_connection;
    X11Keyboard &m_keyboard;
};

} // namespace quorvel::x11
