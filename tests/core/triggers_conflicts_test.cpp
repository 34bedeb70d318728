// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/ConflictsRig.h"
#include "triggers/HotKeyBindings.h"
#include "triggers/HotKeyConflicts.h"

#include <gtest/gtest.h>

namespace quorvel::testing {
namespace {

TEST_F(Conflicts, WhoHoldsAKeyTypedForAMacro)
{
    struct Case
    {
        const char *label;
        unsigned value;
        int macro;
        HotKeyHolder holder;
        int holderMacro;
        bool keeps;
        const char *text;
    };
    const Case cases[] = {
        { "none", 0, 0, HotKeyHolder::Free, 0, false, "" },
        { "free", CtrlAltP, 0, HotKeyHolder::Free, 0, false, "Ctrl+Alt+P is free." },
        { "its own key", CtrlAltN, 2, HotKeyHolder::Free, 0, false, "Ctrl+Alt+N is free." },
        { "new macro", CtrlAltM, 0, HotKeyHolder::Macro, 1, false,
            "Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps it." },
        { "higher record", CtrlAltM, 3, HotKeyHolder::Macro, 1, false,
            "Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps it." },
        { "lower record", CtrlAltM, 1, HotKeyHolder::Macro, 3, true,
            "Ctrl+Alt+M is also the hot key of Mail2 (macro 3); this macro has the lower number "
            "and keeps it." },
        { "other record's key", CtrlAltN, 5, HotKeyHolder::Macro, 2, false,
            "Ctrl+Alt+N is the hot key of Notes (macro 2); the lower number keeps it." },
        { "stop key", hotkey::StopRecord, 0, HotKeyHolder::StopRecording, 0, false,
            "Shift+Ctrl+F12 stops a recording; given to a macro, it starts the macro instead and "
            "stops no recording." },
        { "stop key, own", hotkey::StopRecord, 4, HotKeyHolder::StopRecording, 0, false,
            "Shift+Ctrl+F12 stops a recording; given to a macro, it starts the macro instead and "
            "stops no recording." },
        { "other program", CtrlAltO, 0, HotKeyHolder::OtherProgram, 0, false,
            "Another program holds Ctrl+Alt+O; Quorvel cannot use it." },
        // Big (101) has the key too, but no slot to hold it with.
        { "other program", CtrlAltB, 1, HotKeyHolder::OtherProgram, 0, false,
            "Another program holds Ctrl+Alt+B; Quorvel cannot use it." },
        { "no slot", CtrlAltP, 101, HotKeyHolder::NoSlot, 0, false,
            "Only macros 1 to 100 can have a hot key; Ctrl+Alt+P will not start this one "
            "(macro 101)." },
    };
    registrar.othersHold = { { CtrlAlt, 0x4F }, { CtrlAlt, 0x42 } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const auto conflict = hotKeyConflict(c.value, catalogue, c.macro, &registrar);
        EXPECT_EQ(conflict.holder, c.holder);
        EXPECT_EQ(conflict.holderMacro, c.holderMacro);
        EXPECT_EQ(conflict.keeps, c.keeps);
        EXPECT_EQ(conflict.text, c.text);
    }
    EXPECT_EQ(hotKeyConflict(CtrlAltB, catalogue, 0).text, "Ctrl+Alt+B is free.");
    // Keeping a key from a higher record is worth nothing when another program has it.
    registrar.othersHold.insert({ CtrlAlt, 0x4D });
    EXPECT_EQ(
        hotKeyConflict(CtrlAltM, catalogue, 1, &registrar).holder, HotKeyHolder::OtherProgram);
}

TEST_F(Conflicts, AnotherProgramOutranksTheLowerMacro)
{
    // The lower record cannot have the key either: the line names who really holds it.
    registrar.othersHold = { { CtrlAlt, 0x4D } };
    EXPECT_EQ(
        hotKeyConflict(CtrlAltM, catalogue, 3, &registrar).holder, HotKeyHolder::OtherProgram);
    // The stop key and a missing slot need no grab to tell.
    EXPECT_EQ(hotKeyConflict(hotkey::StopRecord, catalogue, 0, &registrar).holder,
        HotKeyHolder::StopRecording);
    EXPECT_EQ(hotKeyConflict(CtrlAltM, catalogue, 101, &registrar).holder, HotKeyHolder::NoSlot);
    EXPECT_EQ(registrar.heldElsewhereCalls, 1);
    // Without a registrar nobody else is assumed to hold anything.
    EXPECT_EQ(hotKeyConflict(CtrlAltO, catalogue, 0).holder, HotKeyHolder::Free);
}

TEST_F(Conflicts, ANewMacroPastTheLastSlotGetsNoHotKey)
{
    writeFile(dir.file("macros.ini"), "[Main]\nEntries=100\n[Macro100]\nName=Last\nHotKey=49229\n");
    const auto c = hotKeyConflict(CtrlAltM, catalogue, 0, &registrar);
    EXPECT_EQ(c.holder, HotKeyHolder::NoSlot);
    EXPECT_EQ(c.text,
        "Only macros 1 to 100 can have a hot key; Ctrl+Alt+M will not start this one (macro "
        "101).");
}

TEST_F(Conflicts, CatalogueListsEveryKeyThatWillNotStartItsMacro)
{
    store.writeInteger("Main", "Entries", 101);
    const std::vector<std::string> expected = {
        "Mail2 (macro 3): Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps "
        "it.",
        "Stopper (macro 4): Shift+Ctrl+F12 stops a recording; given to a macro, it starts the "
        "macro instead and stops no recording.",
        "Mail3 (macro 6): Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps "
        "it.",
        "Big (macro 101): Only macros 1 to 100 can have a hot key; Ctrl+Alt+B will not start "
        "this one (macro 101).",
    };
    std::vector<std::string> texts;
    for (const auto &c : catalogueHotKeyConflicts(catalogue))
        texts.push_back(c.text);
    EXPECT_EQ(texts, expected);

    registrar.othersHold = { { CtrlAlt, 0x4E } };
    const auto withRegistrar = catalogueHotKeyConflicts(catalogue, &registrar);
    ASSERT_EQ(withRegistrar.size(), expected.size() + 1);
    EXPECT_EQ(withRegistrar[0].macro, 2);
    EXPECT_EQ(withRegistrar[0].text,
        "Notes (macro 2): Another program holds Ctrl+Alt+N; Quorvel "
        "cannot use it.");

    writeFile(dir.file("macros.ini"), "[Main]\nEntries=2\n[Macro1]\nHotKey=49229\n[Macro2]\n");
    EXPECT_TRUE(catalogueHotKeyConflicts(catalogue, &registrar).empty());
}

TEST_F(Conflicts, BindingsKnowWhichSlotsWereRefused)
{
    registrar.othersHold = { { CtrlAlt, 0x4E } };
    HotKeyBindings bindings(registrar, nullptr, {});
    bindings.BindHotKeys(catalogue);
    EXPECT_FALSE(bindings.refused(1)); // Mail takes Ctrl+Alt+M
    EXPECT_TRUE(bindings.refused(2)); // another program holds Ctrl+Alt+N
    EXPECT_TRUE(bindings.refused(3)); // Mail had it first
    EXPECT_FALSE(bindings.refused(5)); // no key at all
    EXPECT_FALSE(bindings.refused(0));
    EXPECT_FALSE(bindings.refused(101));
}

} // namespace
} // namespace quorvel::testing
