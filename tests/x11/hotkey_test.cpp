// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestSupport.h"
#include "catalogue/HotKeyValue.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/TestSupport.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11Keyboard.h"
#include "triggers/HotKeyBindings.h"
#include "triggers/TEPHotKey.h"

#include <gtest/gtest.h>
#include <thread>

namespace quorvel::testing {
namespace {

// X modifier masks as Xvfb's default keymap has them.
constexpr unsigned XShift = 1, XLock = 2, XControl = 4, XAlt = 8, XNumLock = 16;
constexpr unsigned CtrlAlt = hotkey::Ctrl | hotkey::Alt;

// Counts the presses of one hot key on a backend.
struct CountedKey
{
    TEPHotKey key;
    int presses = 0;
    CountedKey(x11::X11Backend &backend, unsigned value)
        : key(backend.hotKeyRegistrar())
    {
        key.OnHotKey = [this](TEPHotKey &, unsigned &, unsigned) { ++presses; };
        key.SetHotKey(value);
    }
};

bool pumpUntil(x11::X11Backend &backend, const std::function<bool()> &done,
    std::chrono::milliseconds timeout = 3s)
{
    return waitUntil(
        [&] {
            backend.processEvents();
            return done();
        },
        timeout);
}

void pumpFor(x11::X11Backend &backend, std::chrono::milliseconds duration)
{
    pumpUntil(
        backend, [] { return false; }, duration);
}

struct LockGuard
{
    x11::X11Backend &backend;
    unsigned mask;
    std::string key;
    LockGuard(x11::X11Backend &b, unsigned m, std::string k)
        : backend(b)
        , mask(m)
        , key(std::move(k))
    {
        set(true);
    }
    ~LockGuard() { set(false); }
    void set(bool on)
    {
        pumpFor(backend, 20ms);
        if (bool(backend.keyboard().lockedModifiers() & mask) != on)
            pressKeys(key);
        pumpUntil(backend, [&] { return bool(backend.keyboard().lockedModifiers() & mask) == on; });
    }
};

TEST(HotKeys, PressFromAnotherProgramTypesTheMacroIntoTheFocusedWindow)
{
    X11Rig rig;
    FakeErrorDisplay errors;
    rig.addAdvanced("Mail", "Dear <<SHIFT>>team,<<ENTER>>", CtrlAlt | 'M');
    HotKeyBindings bindings(rig.backend.hotKeyRegistrar(), &errors,
        [&](int slot, quorvel::KeyCode) { rig.runner.EPHotKey0HotKey(slot); });
    bindings.BindHotKeys(rig.catalogue);
    TypingTarget target;
    pressKeys("ctrl+alt+m");
    rig.pumpUntil([&] { return !target.contents().empty(); });
    EXPECT_EQ(target.waitForLine(), "Dear Team,\n");
    EXPECT_TRUE(errors.shown.empty());
    EXPECT_TRUE(keysDown().empty());
}

TEST(HotKeys, MacroStartsOnlyOnceTheModifiersAreUp)
{
    X11Rig rig;
    rig.addAdvanced("Held", "held<<ENTER>>", CtrlAlt | 'H');
    HotKeyBindings bindings(rig.backend.hotKeyRegistrar(), nullptr,
        [&](int slot, quorvel::KeyCode) { rig.runner.EPHotKey0HotKey(slot); });
    bindings.BindHotKeys(rig.catalogue);
    TypingTarget target;
    run({ "xdotool", "keydown", "ctrl+alt+h" });
    const auto pressed = std::chrono::steady_clock::now();
    // Another program lets go of the keys half a second later, while the dispatch waits.
    Child release({ "xdotool", "sleep", "0.5", "keyup", "h", "keyup", "alt", "keyup", "ctrl" });
    rig.pumpUntil([&] { return !target.contents().empty(); });
    EXPECT_GE(std::chrono::steady_clock::now() - pressed, 450ms);
    EXPECT_EQ(target.waitForLine(), "held\n");
}

TEST(HotKeys, ArriveWhateverLocksAreOn)
{
    x11::X11Backend backend;
    CountedKey key(backend, CtrlAlt | 'L');
    ASSERT_TRUE(key.key.registered());
    int expected = 0;
    auto press = [&] {
        pressKeys("ctrl+alt+l");
        ++expected;
        return pumpUntil(backend, [&] { return key.presses == expected; });
    };
    EXPECT_TRUE(press());
    {
        LockGuard num(backend, XNumLock, "Num_Lock");
        EXPECT_TRUE(press());
        LockGuard caps(backend, XLock, "Caps_Lock");
        EXPECT_TRUE(press());
    }
    {
        LockGuard caps(backend, XLock, "Caps_Lock");
        EXPECT_TRUE(press());
    }
    EXPECT_TRUE(press());
    // Other modifiers make another combination.
    pressKeys("ctrl+alt+shift+l");
    pumpFor(backend, 150ms);
    EXPECT_EQ(key.presses, expected);
}

TEST(HotKeys, CombinationHeldElsewhereIsRefusedWithoutPartialGrabs)
{
    x11::X11Backend backend;
    // Another program holds only the CapsLock variant: every other variant would be free.
    ASSERT_TRUE(grabFromOtherClient("k", XControl | XAlt | XLock));
    CountedKey key(backend, CtrlAlt | 'K');
    EXPECT_EQ(key.key.HotKey(), CtrlAlt | 'K');
    EXPECT_FALSE(key.key.registered());
    pressKeys("ctrl+alt+k");
    pumpFor(backend, 150ms);
    EXPECT_EQ(key.presses, 0);
    // Nothing of ours was left behind: the plain and NumLock variants are still free.
    releaseOtherGrabs();
    EXPECT_TRUE(grabFromOtherClient("k", XControl | XAlt));
    EXPECT_TRUE(grabFromOtherClient("k", XControl | XAlt | XNumLock));
    releaseOtherGrabs();
}

TEST(HotKeys, HeldElsewhereSeesAnotherProgramsGrabAndKeepsNothing)
{
    x11::X11Backend backend;
    auto &registrar = backend.hotKeyRegistrar();
    constexpr unsigned mods = hotkeymod::Control | hotkeymod::Alt;

    TempDir dir;
    writeFile(dir.file("xbindkeysrc"), "\"true\"\n  Control+Alt + g\n");
    EXPECT_FALSE(registrar.heldElsewhere(mods, 'G'));
    Child peer({ "xbindkeys", "-n", "-f", dir.file("xbindkeysrc") });
    EXPECT_TRUE(waitUntil([&] { return registrar.heldElsewhere(mods, 'G'); }))
        << "xbindkeys holds Ctrl+Alt+G";
    EXPECT_FALSE(registrar.heldElsewhere(mods, 'H'));
    peer.stop();
    EXPECT_TRUE(waitUntil([&] { return !registrar.heldElsewhere(mods, 'G'); }));
    // The tries were given back: another client takes the key in every lock variant.
    EXPECT_TRUE(grabFromOtherClient("g", XControl | XAlt));
    EXPECT_TRUE(grabFromOtherClient("g", XControl | XAlt | XLock | XNumLock));
    releaseOtherGrabs();

    // One held lock variant is enough to make the key unusable.
    ASSERT_TRUE(grabFromOtherClient("g", XControl | XAlt | XNumLock));
    EXPECT_TRUE(registrar.heldElsewhere(mods, 'G'));
    releaseOtherGrabs();
}

TEST(HotKeys, RefusalIsSeenAfterAToolkitReplacedTheErrorHandler)
{
    x11::X11Backend backend;
    const ForeignErrorHandler toolkit;
    ASSERT_TRUE(grabFromOtherClient("k", XControl | XAlt));
    CountedKey key(backend, CtrlAlt | 'K');
    EXPECT_FALSE(key.key.registered());
    EXPECT_TRUE(backend.hotKeyRegistrar().heldElsewhere(hotkeymod::Control | hotkeymod::Alt, 'K'));
    releaseOtherGrabs();
}

TEST(HotKeys, OurOwnKeyIsNotHeldElsewhereAndSurvivesTheTry)
{
    x11::X11Backend backend;
    CountedKey key(backend, CtrlAlt | 'G');
    ASSERT_TRUE(key.key.registered());
    EXPECT_FALSE(backend.hotKeyRegistrar().heldElsewhere(hotkeymod::Control | hotkeymod::Alt, 'G'));
    pressKeys("ctrl+alt+g");
    EXPECT_TRUE(pumpUntil(backend, [&] { return key.presses == 1; }));
}

TEST(HotKeys, SecondCopyWithTheSameKeyIsRefusedSilently)
{
    x11::X11Backend first;
    x11::X11Backend second;
    CountedKey mine(first, CtrlAlt | 'J');
    CountedKey theirs(second, CtrlAlt | 'J');
    EXPECT_TRUE(mine.key.registered());
    EXPECT_FALSE(theirs.key.registered());
    pressKeys("ctrl+alt+j");
    pumpUntil(first, [&] { return mine.presses == 1; });
    pumpFor(second, 100ms);
    EXPECT_EQ(mine.presses, 1);
    EXPECT_EQ(theirs.presses, 0);
    // The first copy ends: its key is free for the next registration.
    mine.key.SetHotKey(0);
    theirs.key.SetHotKey(0);
    theirs.key.SetHotKey(CtrlAlt | 'J');
    EXPECT_TRUE(theirs.key.registered());
}

TEST(HotKeys, StopRecordKeyIsRefusedWhileAMacroSlotHoldsIt)
{
    X11Rig rig;
    rig.addAdvanced("Grab", "x", hotkey::StopRecord);
    std::vector<int> slots;
    HotKeyBindings bindings(rig.backend.hotKeyRegistrar(), nullptr,
        [&](int slot, quorvel::KeyCode) { slots.push_back(slot); });
    bindings.BindHotKeys(rig.catalogue);
    StopRecordHotKey stop(rig.backend.hotKeyRegistrar());
    int stops = 0;
    stop.OnHotKey = [&](TEPHotKey &, unsigned &, unsigned) { ++stops; };
    stop.SetEnabled(true);
    EXPECT_FALSE(stop.registered());
    pressKeys("ctrl+shift+F12");
    pumpUntil(rig.backend, [&] { return !slots.empty(); });
    EXPECT_EQ(slots, (std::vector<int> { 1 }));
    EXPECT_EQ(stops, 0);
}

TEST(HotKeys, FollowTheKeyWhenTheLayoutMovesIt)
{
    x11::X11Backend backend;
    CountedKey key(backend, CtrlAlt | 'Z');
    ASSERT_TRUE(key.key.registered());
    setLayout("de"); // Z and Y change places
    pumpFor(backend, 200ms);
    pressKeys("ctrl+alt+z");
    EXPECT_TRUE(pumpUntil(backend, [&] { return key.presses == 1; }));
    pressKeys("ctrl+alt+y");
    pumpFor(backend, 150ms);
    setLayout("us");
    pumpFor(backend, 200ms);
    EXPECT_EQ(key.presses, 1);
    pressKeys("ctrl+alt+z");
    EXPECT_TRUE(pumpUntil(backend, [&] { return key.presses == 2; }));
}

TEST(HotKeys, NonGlobalKeyCountsOnlyWhileOurWindowIsActive)
{
    x11::X11Backend backend;
    CountedKey key(backend, CtrlAlt | 'G');
    key.key.SetGlobal(false);
    TypingTarget other; // someone else's window is active
    pressKeys("ctrl+alt+g");
    pumpFor(backend, 200ms);
    EXPECT_EQ(key.presses, 0);

    KeyCapture ours;
    ours.claimForThisProcess();
    ours.focus();
    pressKeys("ctrl+alt+g");
    EXPECT_TRUE(pumpUntil(backend, [&] { return key.presses == 1; }));
}

} // namespace
} // namespace quorvel::testing
