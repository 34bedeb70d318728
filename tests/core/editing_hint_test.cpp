// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/ProfileStore.h"
#include "editing/HintModel.h"
#include "fakes/TestSupport.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

class FakeHintView : public HintView
{
public:
    bool showHintModal(const std::string &text) override
    {
        shown.push_back(text);
        return ticked;
    }
    std::vector<std::string> shown;
    bool ticked = true;
};

struct HintCase
{
    const char *stored; // nullptr: key absent
    bool tickedOnClose;
    bool shown;
    const char *storedAfter;
    std::optional<bool> trayTick;
};

class Hint : public ::testing::TestWithParam<HintCase>
{
protected:
    quorvel::testing::TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    FakeHintView view;
    HintModel hints { store, view };
    std::optional<bool> trayTick;
};

TEST_P(Hint, ShowsByTheSettingAndWritesOnlyAnUntickedBox)
{
    const auto &c = GetParam();
    if (c.stored)
        store.writeString("Main", "Show Hints", c.stored);
    view.ticked = c.tickedOnClose;
    hints.onShowHintsChanged = [this](bool on) { trayTick = on; };

    hints.ShowHint("Hello");

    EXPECT_EQ(view.shown.size(), c.shown ? 1U : 0U);
    EXPECT_EQ(store.readString("Main", "Show Hints", "absent"), c.storedAfter);
    EXPECT_EQ(trayTick, c.trayTick);
}

INSTANTIATE_TEST_SUITE_P(Settings, Hint,
    ::testing::Values(HintCase { nullptr, true, true, "absent", true },
        HintCase { nullptr, false, true, "0", false }, HintCase { "1", false, true, "0", false },
        HintCase { "0", true, false, "0", std::nullopt },
        // Unreadable reads as the default.
        HintCase { "junk", true, true, "junk", true }));

TEST(HintRepeat, OnceSwitchedOffNoHintFollowsUntilSwitchedOn)
{
    quorvel::testing::TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    FakeHintView view;
    HintModel hints { store, view };
    view.ticked = false;
    hints.ShowHint("first");
    hints.ShowHint("second");
    EXPECT_EQ(view.shown, std::vector<std::string> { "first" });
    store.writeBool("Main", "Show Hints", true); // the tray item
    hints.ShowHint("third");
    EXPECT_EQ(view.shown.back(), "third");
}

} // namespace
