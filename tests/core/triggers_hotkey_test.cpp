// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "catalogue/HotKeyValue.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeHotKeyRegistrar.h"
#include "fakes/TestSupport.h"
#include "triggers/HotKeyBindings.h"
#include "triggers/TEPHotKey.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace quorvel::testing {
namespace {

constexpr unsigned CtrlAltA = 0xC041, CtrlAltB = 0xC042, ShiftF5 = 0x2074;

struct Press
{
    unsigned key = 0;
    unsigned shift = 0;
};

TEST(TEPHotKey, RegistersWithTheModifiersAndKeyCodeOfTheValue)
{
    struct Case
    {
        unsigned value;
        unsigned modifiers;
        KeyCode key;
    } cases[] = {
        { CtrlAltA, hotkeymod::Alt | hotkeymod::Control, 0x41 },
        { ShiftF5, hotkeymod::Shift, 0x74 },
        { hotkey::StopRecord, hotkeymod::Control | hotkeymod::Shift, 0x7B },
        { 0x0070, 0, 0x70 },
        // Bits 8..12 belong to the key code.
        { 0x9123, hotkeymod::Alt, 0x1123 },
    };
    for (const auto &c : cases) {
        FakeHotKeyRegistrar registrar;
        TEPHotKey component(registrar);
        component.SetHotKey(c.value);
        ASSERT_EQ(registrar.registrations.size(), 1u) << c.value;
        EXPECT_EQ(registrar.registrations.begin()->second.modifiers, c.modifiers) << c.value;
        EXPECT_EQ(registrar.registrations.begin()->second.key, c.key) << c.value;
        EXPECT_TRUE(component.registered());
    }
}

TEST(TEPHotKey, SetHotKeyAndSetEnabledFollowTheRegistrationRules)
{
    FakeHotKeyRegistrar registrar;
    TEPHotKey component(registrar);
    EXPECT_TRUE(component.Enabled());
    EXPECT_TRUE(component.Global());

    component.SetHotKey(CtrlAltA);
    component.SetHotKey(CtrlAltA); // unchanged: nothing
    component.SetHotKey(0);
    component.SetHotKey(0);
    EXPECT_EQ(registrar.log, (std::vector<std::string> { "+3 0x41 #1", "-#1" }));

    registrar.log.clear();
    component.SetEnabled(false);
    component.SetHotKey(CtrlAltB); // stored only
    EXPECT_EQ(component.HotKey(), CtrlAltB);
    EXPECT_TRUE(registrar.log.empty());
    component.SetEnabled(true);
    component.SetEnabled(true);
    component.SetEnabled(false);
    EXPECT_EQ(registrar.log, (std::vector<std::string> { "+3 0x42 #2", "-#2" }));
    EXPECT_TRUE(registrar.registrations.empty());
}

TEST(TEPHotKey, ReplacingAKeyReleasesTheOldOneFirst)
{
    FakeHotKeyRegistrar registrar;
    TEPHotKey component(registrar);
    component.SetHotKey(CtrlAltA);
    component.SetHotKey(CtrlAltB);
    EXPECT_EQ(registrar.log, (std::vector<std::string> { "+3 0x41 #1", "-#1", "+3 0x42 #2" }));
    EXPECT_FALSE(registrar.holds(3, 0x41));
}

TEST(TEPHotKey, DestroyingReleasesTheCombination)
{
    FakeHotKeyRegistrar registrar;
    {
        TEPHotKey component(registrar);
        component.SetHotKey(CtrlAltA);
    }
    EXPECT_TRUE(registrar.registrations.empty());
}

TEST(TEPHotKey, PressDeliversKeyAndModifiersSplit)
{
    FakeHotKeyRegistrar registrar;
    TEPHotKey component(registrar);
    std::vector<Press> presses;
    TEPHotKey *sender = nullptr;
    component.OnHotKey = [&](TEPHotKey &s, unsigned &key, unsigned shift) {
        sender = &s;
        presses.push_back({ key, shift });
    };
    component.SetHotKey(0xE074); // Ctrl+Alt+Shift+F5
    EXPECT_TRUE(registrar.press(7, 0x74));
    ASSERT_EQ(presses.size(), 1u);
    EXPECT_EQ(sender, &component);
    EXPECT_EQ(presses[0].key, 0x74u);
    EXPECT_EQ(presses[0].shift, hotkey::Shift | hotkey::Ctrl | hotkey::Alt);
}

TEST(TEPHotKey, NonGlobalKeyCountsOnlyWhileAWindowOfOursIsActive)
{
    FakeHotKeyRegistrar registrar;
    TEPHotKey component(registrar);
    int presses = 0;
    component.OnHotKey = [&](TEPHotKey &, unsigned &, unsigned) { ++presses; };
    component.SetHotKey(CtrlAltA);
    component.SetGlobal(false);
    registrar.press(3, 0x41);
    EXPECT_EQ(presses, 0);
    registrar.active = true;
    registrar.press(3, 0x41);
    EXPECT_EQ(presses, 1);
}

TEST(TEPHotKey, HandlerErrorIsShownAndLaterPressesStillArrive)
{
    FakeHotKeyRegistrar registrar;
    FakeErrorDisplay errors;
    TEPHotKey component(registrar, &errors);
    int presses = 0;
    component.OnHotKey = [&](TEPHotKey &, unsigned &, unsigned) {
        if (++presses == 1)
            throw Error("Invalid token");
    };
    component.SetHotKey(CtrlAltA);
    registrar.press(3, 0x41);
    registrar.press(3, 0x41);
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Invalid token" }));
}

TEST(TEPHotKey, RefusedCombinationKeepsItsValueAndDeliversNothing)
{
    FakeHotKeyRegistrar registrar;
    registrar.othersHold.insert({ 3, 0x41 });
    TEPHotKey component(registrar);
    int presses = 0;
    component.OnHotKey = [&](TEPHotKey &, unsigned &, unsigned) { ++presses; };
    component.SetHotKey(CtrlAltA);
    EXPECT_EQ(component.HotKey(), CtrlAltA);
    EXPECT_FALSE(component.registered());
    EXPECT_FALSE(registrar.press(3, 0x41));
    EXPECT_EQ(presses, 0);
    // Setting 0 has nothing to release.
    component.SetHotKey(0);
    EXPECT_EQ(registrar.log, (std::vector<std::string> { "refused 3 0x41" }));
}

class Bindings : public ::testing::Test
{
protected:
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    FakeHotKeyRegistrar registrar;
    FakeErrorDisplay errors;
    std::vector<int> slotsPressed;
    std::vector<KeyCode> keysPressed;
    int reloads = 0;
    HotKeyBindings bindings { registrar, &errors,
        [this](int slot, KeyCode key) {
            slotsPressed.push_back(slot);
            keysPressed.push_back(key);
        },
        [this] { ++reloads; } };

    void addRecord(const std::string &name, unsigned hotKey)
    {
        MacroRecord r;
        r.name = name;
        r.type = macrokind::Advanced;
        r.hotKey = hotKey;
        r.fileName = name + ".key";
        catalogue.append(r);
    }
};

TEST_F(Bindings, EverySlotDispatchesItsOwnNumber)
{
    addRecord("A", CtrlAltA);
    bindings.BindHotKeys(catalogue);
    registrar.press(3, 0x41);
    EXPECT_EQ(slotsPressed, (std::vector<int> { 1 }));
    // EPHotKey0 is never bound by the catalogue, but carries the same handler.
    bindings.EPHotKey(0).SetHotKey(CtrlAltB);
    registrar.press(3, 0x42);
    EXPECT_EQ(slotsPressed, (std::vector<int> { 1, 0 }));
    // Each press carries its own key.
    EXPECT_EQ(keysPressed, (std::vector<KeyCode> { 0x41, 0x42 }));
    EXPECT_EQ(bindings.slotOf(bindings.EPHotKey(7)), 7);
}

TEST_F(Bindings, LowerRecordOwnsASharedKeyUntilItIsDeleted)
{
    addRecord("First", CtrlAltA);
    addRecord("Second", CtrlAltA);
    bindings.BindHotKeys(catalogue);
    registrar.press(3, 0x41);
    EXPECT_EQ(slotsPressed, (std::vector<int> { 1 }));
    EXPECT_EQ(bindings.EPHotKey(2).HotKey(), CtrlAltA); // stored, refused

    catalogue.removeRecord(1);
    bindings.BindHotKeys(catalogue);
    slotsPressed.clear();
    registrar.press(3, 0x41);
    EXPECT_EQ(slotsPressed, (std::vector<int> { 1 }));
    EXPECT_EQ(bindings.EPHotKey(2).HotKey(), 0u);
}

TEST_F(Bindings, ChangedKeyIsReleasedBeforeAnyIsTaken)
{
    addRecord("A", CtrlAltA);
    addRecord("B", CtrlAltB);
    bindings.BindHotKeys(catalogue);
    // Swap the two keys: slot 1 may only take B once slot 2 let go of it.
    store.writeInteger("Macro1", "HotKey", int(CtrlAltB));
    store.writeInteger("Macro2", "HotKey", int(CtrlAltA));
    bindings.BindHotKeys(catalogue);
    registrar.press(3, 0x42);
    registrar.press(3, 0x41);
    EXPECT_EQ(slotsPressed, (std::vector<int> { 1, 2 }));
}

TEST_F(Bindings, CatalogueRulesForWhichSlotsAreBound)
{
    // Entries 0: every slot cleared, nothing set, the list not reloaded.
    store.writeInteger("Macro1", "HotKey", int(CtrlAltA));
    bindings.BindHotKeys(catalogue);
    EXPECT_TRUE(registrar.registrations.empty());
    EXPECT_EQ(reloads, 0);

    addRecord("One", CtrlAltB); // Entries 1
    // A key left beyond Entries is bound; the value is cut to 16 bits; 101 is no slot.
    store.writeString("Macro5", "HotKey", std::to_string(0x10000 + ShiftF5));
    store.writeInteger("Macro101", "HotKey", 0xC043);
    store.writeString("Macro6", "HotKey", "0x4041");
    bindings.BindHotKeys(catalogue);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(bindings.EPHotKey(1).HotKey(), CtrlAltB);
    EXPECT_EQ(bindings.EPHotKey(5).HotKey(), ShiftF5);
    EXPECT_EQ(bindings.EPHotKey(6).HotKey(), 0x4041u);
    EXPECT_FALSE(registrar.holds(3, 0x43));
    registrar.press(hotkeymod::Shift, 0x74);
    EXPECT_EQ(slotsPressed, (std::vector<int> { 5 }));
    EXPECT_EQ(registrar.registrations.size(), 3u);
}

TEST_F(Bindings, StopRecordKeyStartsDisabledAndLosesToAMacroHoldingIt)
{
    StopRecordHotKey stop(registrar, &errors);
    EXPECT_EQ(stop.HotKey(), hotkey::StopRecord);
    EXPECT_FALSE(stop.Enabled());
    EXPECT_TRUE(registrar.registrations.empty());

    addRecord("Grab", hotkey::StopRecord);
    bindings.BindHotKeys(catalogue);
    stop.SetEnabled(true);
    EXPECT_FALSE(stop.registered());
    int stops = 0;
    stop.OnHotKey = [&](TEPHotKey &, unsigned &, unsigned) { ++stops; };
    registrar.press(hotkeymod::Control | hotkeymod::Shift, 0x7B);
    EXPECT_EQ(slotsPressed, (std::vector<int> { 1 }));
    EXPECT_EQ(stops, 0);

    // Without the macro, the enabled stop key takes it.
    catalogue.removeRecord(1);
    bindings.BindHotKeys(catalogue);
    stop.SetEnabled(false);
    stop.SetEnabled(true);
    registrar.press(hotkeymod::Control | hotkeymod::Shift, 0x7B);
    EXPECT_EQ(stops, 1);
}

} // namespace
} // namespace quorvel::testing
