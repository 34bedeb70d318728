// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "platform/xkb/LayoutKeys.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace quorvel::xkb;

namespace {

constexpr unsigned Shift = LayoutKeys::LeftShift, AltGr = LayoutKeys::RightAlt;

TEST(LayoutKeys, EachCharacterOnItsKeyWithTheFewestModifiers)
{
    const struct
    {
        const char *layout;
        char32_t ch;
        unsigned key; // 0: the layout lacks it
        std::vector<unsigned> modifiers;
    } cases[] = {
        { "us", U'a', 30, {} },
        { "us", U'A', 30, { Shift } },
        { "us", U'@', 3, { Shift } },
        { "us", U' ', 57, {} },
        { "us", U'é', 0, {} },
        { "us", U'中', 0, {} },
        { "de", U'z', 21, {} },
        { "de", U'@', 16, { AltGr } },
        { "de", U'ß', 12, {} },
        { "fr", U'é', 3, {} },
        { "fr", U'1', 2, { Shift } },
        { "ru", U'ф', 30, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " U+" + std::to_string(unsigned(c.ch)));
        const LayoutKeys keys({ c.layout, {}, {} });
        const auto stroke = keys.character(c.ch);
        if (c.key == 0) {
            EXPECT_FALSE(stroke);
            continue;
        }
        ASSERT_TRUE(stroke);
        EXPECT_EQ(stroke->key, c.key);
        EXPECT_EQ(stroke->modifiers, c.modifiers);
    }
}

TEST(LayoutKeys, NamedKeysAndBadNames)
{
    const LayoutKeys us({ "us", {}, {} });
    EXPECT_EQ(us.keysym(XKB_KEY_Return), 28u);
    EXPECT_EQ(us.keysym(XKB_KEY_F5), 63u);
    EXPECT_FALSE(us.keysym(XKB_KEY_Cyrillic_ef));
    EXPECT_THROW(LayoutKeys({ "no-such-layout", {}, {} }), quorvel::Error);
}

} // namespace
