// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/HotKeyBoxModel.h"

#include <gtest/gtest.h>
#include <vector>

using namespace quorvel;

namespace {

constexpr unsigned S = hotkey::Shift, C = hotkey::Ctrl, A = hotkey::Alt;

struct Press
{
    int key;
    unsigned modifiers;
    unsigned value;
    const char *text;
};

class KeyPress : public ::testing::TestWithParam<Press>
{
};

TEST_P(KeyPress, GivesValueAndText)
{
    const auto &p = GetParam();
    HotKeyBoxModel box;
    box.keyDown(p.key, p.modifiers);
    box.keyUp(p.key, p.modifiers);
    EXPECT_EQ(box.HotKey(), p.value);
    EXPECT_EQ(box.text(), p.text);
}

INSTANTIATE_TEST_SUITE_P(Combinations, KeyPress,
    ::testing::Values(Press { 'M', C | A, 'M' | C | A, "Ctrl+Alt+M" },
        Press { 0x78, 0, 0x78 | A, "Alt+F9" }, // no modifier: Alt added
        Press { 'A', C | S, 'A' | C | S, "Shift+Ctrl+A" }, Press { 0x09, C, 0x09 | C, "Ctrl+Tab" },
        Press { 0x08, A, 0x08 | A, "Alt+BkSp" },
        Press { 0x08, S, 0x08 | S | A, "Shift+Alt+BkSp" }, // Shift alone is no modifier
        Press { 0x65, C, 0x65 | C, "Ctrl+5" }, Press { 0x71, S, 0x71 | S | A, "Shift+Alt+F2" },
        Press { 0xBA, C, 0xBA | C, "Ctrl+;" },
        // Nothing for a key without a code or a name, so the box stays empty.
        Press { 0, C, 0, "None" }, Press { 0x14, C, 0, "None" }, Press { 0x13F, C, 0, "None" }));

TEST(HotKeyBox, BackspaceAloneClearsAndOtherKeysReplace)
{
    HotKeyBoxModel box;
    box.SetHotKey('Q' | C);
    box.keyDown('W', A);
    EXPECT_EQ(box.HotKey(), 'W' | A);
    EXPECT_TRUE(box.keyDown(0x08, 0));
    EXPECT_EQ(box.HotKey(), 0U);
    EXPECT_EQ(box.text(), "None");
}

TEST(HotKeyBox, ModifiersAloneArePendingAndLeaveTheValue)
{
    HotKeyBoxModel box;
    box.SetHotKey('Q' | C | A);
    // Modifier presses as a toolkit reports them: without, then with, their own bit.
    box.keyDown(0x11, 0);
    EXPECT_EQ(box.text(), "Ctrl+");
    box.keyDown(0xA1, C | S);
    EXPECT_EQ(box.text(), "Shift+Ctrl+");
    box.keyUp(0x10, C | S);
    EXPECT_EQ(box.text(), "Ctrl+");
    box.keyUp(0xA3, C);
    EXPECT_EQ(box.text(), "Ctrl+Alt+Q");
    EXPECT_EQ(box.HotKey(), 'Q' | C | A);
}

TEST(HotKeyBox, KeyAfterModifiersEndsPendingAndFocusLossForgetsHeldKeys)
{
    HotKeyBoxModel box;
    box.keyDown(0x11, 0);
    box.keyDown(0x12, C);
    box.keyDown('P', C | A);
    EXPECT_EQ(box.text(), "Ctrl+Alt+P");
    box.keyUp(0x12, C | A); // still Ctrl held: the value stays on show
    EXPECT_EQ(box.text(), "Ctrl+Alt+P");
    box.keyDown(0x10, C);
    EXPECT_EQ(box.text(), "Shift+Ctrl+");
    EXPECT_TRUE(box.releaseAll());
    EXPECT_EQ(box.text(), "Ctrl+Alt+P");
}

TEST(HotKeyBox, StoredValueIsKeptAsTheCatalogueHasIt)
{
    HotKeyBoxModel box;
    box.SetHotKey(0x1'0000 | 'K'); // beyond 16 bits
    EXPECT_EQ(box.HotKey(), unsigned('K'));
    EXPECT_EQ(box.text(), "K"); // no modifier from the file is added on reading
    HotKeyBoxModel named { [](int vk) { return vk == 0xBA ? std::string("\xc3\xb6") : ""; } };
    named.keyDown(0xBA, C);
    EXPECT_EQ(named.text(), "Ctrl+\xc3\xb6");
}

} // namespace
