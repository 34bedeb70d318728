// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKeyRegistrar.h"
#include "platform/gnome/GnomeShell.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::gnome;

TEST(GnomeShell, ExtensionStateFromWhatWasSeen)
{
    const ExtensionInfo enabled { 1, "" }, disabled { 2, "" }, error { 3, "bad" },
        outOfDate { 4, "" }, initialized { 6, "" };
    struct Case
    {
        bool owned;
        std::optional<ExtensionInfo> info;
        bool installed;
        ExtensionState expected;
    } cases[] = {
        { true, std::nullopt, true, ExtensionState::Running },
        { false, std::nullopt, false, ExtensionState::Absent },
        // Installed after the log-in: the shell does not know it yet.
        { false, std::nullopt, true, ExtensionState::NotLoaded },
        { false, disabled, true, ExtensionState::Disabled },
        { false, initialized, true, ExtensionState::Disabled },
        { false, error, true, ExtensionState::Failed },
        { false, outOfDate, true, ExtensionState::Failed },
        // Enabled, but no object: its enable failed.
        { false, enabled, true, ExtensionState::Failed },
    };
    for (const auto &c : cases)
        EXPECT_EQ(extensionStateOf(c.owned, c.info, c.installed), c.expected)
            << c.owned << " " << (c.info ? c.info->state : -1) << " " << c.installed;
}

TEST(GnomeShell, AdviceNamesTheStep)
{
    EXPECT_EQ(extensionAdvice(ExtensionState::Running), "");
    for (auto state :
        { ExtensionState::Absent, ExtensionState::NotLoaded, ExtensionState::Disabled })
        EXPECT_NE(extensionAdvice(state).find("gnome-extensions enable quorvel@ostrin.example"),
            std::string::npos);
    EXPECT_NE(extensionAdvice(ExtensionState::NotLoaded).find("log"), std::string::npos);
    EXPECT_NE(extensionAdvice(ExtensionState::Failed, "SyntaxError").find("SyntaxError"),
        std::string::npos);
}

TEST(GnomeShell, AcceleratorNames)
{
    using namespace hotkeymod;
    const struct
    {
        unsigned modifiers;
        KeyCode key;
        const char *expected;
    } cases[] = {
        { Control | Alt, 'G', "<Control><Alt>g" }, { Shift, '7', "<Shift>7" },
        { Control | Alt | Shift, 0x70, "<Control><Alt><Shift>F1" }, { 0, 0x87, "F24" },
        { Alt, 0x63, "<Alt>KP_3" }, { Control, 0xBA, "<Control>semicolon" },
        { Control, vk::Return, "<Control>Return" }, { Control, 0x07, "" }, // no such key
    };
    for (const auto &c : cases)
        EXPECT_EQ(acceleratorName(c.modifiers, c.key), c.expected) << c.key;
}
