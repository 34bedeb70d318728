// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/MenuButtonModel.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

// Records what the button was told, in order; the menu answers with a prepared choice.
class FakeMenuButtonView : public MenuButtonView
{
public:
    void raiseClick() override { log.push_back("click"); }
    void raiseChange() override { log.push_back("change " + std::to_string(model->ItemIndex())); }
    void setFormModalResult(int result) override
    {
        log.push_back("modal " + std::to_string(result));
    }
    void showMenuOpen(bool open) override { log.push_back(open ? "down" : "up"); }
    std::optional<unsigned> runMenu(const std::vector<MenuEntry> &entries) override
    {
        shown = entries;
        log.push_back("menu");
        // A press arriving while the menu is up must be refused.
        model->press();
        return answer;
    }
    void discardQueuedClicks() override
    {
        log.push_back(model->menuOpen() ? "discard while open" : "discard");
    }

    MenuButtonModel *model = nullptr;
    std::optional<unsigned> answer;
    std::vector<MenuEntry> shown;
    std::vector<std::string> log;
};

struct Fixture
{
    Fixture() { view.model = &model; }
    FakeMenuButtonView view;
    MenuButtonModel model { view };
};

using Log = std::vector<std::string>;
const Log Opened = { "click", "down", "menu", "discard while open", "up" };

Log operator+(Log a, const Log &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct PressCase
{
    const char *name;
    std::vector<std::string> items;
    int itemIndexBefore;
    std::optional<unsigned> answer;
    int modalResult;
    int itemIndexAfter;
    Log log;
};

class MenuButtonPress : public ::testing::TestWithParam<PressCase>
{
};

TEST_P(MenuButtonPress, ChoosesAndRaises)
{
    const auto &c = GetParam();
    Fixture f;
    f.model.SetItems(c.items);
    f.model.SetItemIndex(c.itemIndexBefore);
    f.model.setModalResult(c.modalResult);
    f.view.answer = c.answer;

    f.model.press();

    EXPECT_EQ(f.model.ItemIndex(), c.itemIndexAfter);
    EXPECT_EQ(f.view.log, c.log);
    EXPECT_FALSE(f.model.menuOpen());
}

INSTANTIATE_TEST_SUITE_P(Cases, MenuButtonPress,
    ::testing::Values(
        PressCase { "FirstItem", { "A", "B" }, -1, 0u, 0, 0, Opened + Log { "change 0" } },
        PressCase { "SeparatorKeepsNumbering", { "A", "-", "B" }, -1, 2u, 0, 2,
            Opened + Log { "change 2" } },
        PressCase { "Dismissed", { "A", "B" }, 1, std::nullopt, 0, 1, Opened },
        PressCase { "NoItemsNoMenuButClick", {}, -1, 0u, 0, -1, { "click" } },
        PressCase { "CountIgnored", { "A", "B" }, 0, 2u, 0, 0, Opened },
        PressCase { "SeparatorNumberIgnored", { "A", "-" }, -1, MenuButtonModel::SeparatorCommand,
            0, -1, Opened },
        PressCase { "SeparatorIndexIgnored", { "A", "-", "B" }, 0, 1u, 0, 0, Opened },
        PressCase { "ModalResultAfterChange", { "A" }, -1, 0u, 2, 0,
            Opened + Log { "change 0", "modal 2" } },
        PressCase { "NoModalResultWhenDismissed", { "A" }, -1, std::nullopt, 2, -1, Opened }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MenuButtonModel, ChoosingTheSameEntryTwiceRaisesTwice)
{
    Fixture f;
    f.model.SetItems({ "A", "-", "B" });
    f.view.answer = 2;
    f.model.press();
    f.model.press();
    EXPECT_EQ(f.view.log, Opened + Log { "change 2" } + Opened + Log { "change 2" });
    EXPECT_EQ(f.model.ItemIndex(), 2);
}

TEST(MenuButtonModel, MenuOpenedForAClickRaisedElsewhereRaisesNoSecondClick)
{
    Fixture f;
    f.model.SetItems({ "A" });
    f.model.openMenu();
    EXPECT_EQ(f.view.log, (Log { "down", "menu", "discard while open", "up" }));
}

TEST(MenuButtonModel, SettingItemsCopiesTheList)
{
    Fixture f;
    std::vector<std::string> items { "A", "B" };
    f.model.SetItems(items);
    items[0] = "changed";
    items.clear();
    EXPECT_EQ(f.model.Items(), (std::vector<std::string> { "A", "B" }));
}

TEST(MenuButtonModel, ClosesEvenWhenTheMenuThrows)
{
    class ThrowingView : public FakeMenuButtonView
    {
    public:
        std::optional<unsigned> runMenu(const std::vector<MenuEntry> &) override
        {
            throw std::runtime_error("menu");
        }
    };
    ThrowingView view;
    MenuButtonModel model { view };
    view.model = &model;
    model.SetItems({ "A" });
    EXPECT_THROW(model.press(), std::runtime_error);
    EXPECT_FALSE(model.menuOpen());
    EXPECT_EQ(view.log, (Log { "click", "down", "up" }));
}

struct EntriesCase
{
    const char *name;
    std::vector<std::string> items;
    bool showCheckmark;
    int itemIndex;
    std::vector<MenuEntry> entries;
};

class MenuButtonEntries : public ::testing::TestWithParam<EntriesCase>
{
};

TEST_P(MenuButtonEntries, BuildsTheMenu)
{
    const auto &c = GetParam();
    Fixture f;
    f.model.SetItems(c.items);
    f.model.SetShowCheckmark(c.showCheckmark);
    f.model.SetItemIndex(c.itemIndex);
    EXPECT_EQ(f.model.entries(), c.entries);
}

constexpr unsigned Sep = MenuButtonModel::SeparatorCommand;

INSTANTIATE_TEST_SUITE_P(Cases, MenuButtonEntries,
    ::testing::Values(
        EntriesCase { "Plain", { "A", "-", "B" }, false, 2,
            { { false, "A", 0, false }, { true, "", Sep, false }, { false, "B", 2, false } } },
        EntriesCase { "Checkmark", { "A", "-", "B" }, true, 2,
            { { false, "A", 0, false }, { true, "", Sep, false }, { false, "B", 2, true } } },
        EntriesCase { "CheckmarkNoneChosen", { "A" }, true, -1, { { false, "A", 0, false } } },
        EntriesCase { "CheckmarkOnSeparatorShowsNone", { "-", "A" }, true, 0,
            { { true, "", Sep, false }, { false, "A", 1, false } } },
        EntriesCase { "OnlyExactDashIsSeparator", { "--", " -", "&A" }, false, -1,
            { { false, "--", 0, false }, { false, " -", 1, false }, { false, "&A", 2, false } } }),
    [](const auto &info) { return std::string(info.param.name); });

struct PositionCase
{
    const char *name;
    MenuArea button;
    int menuWidth;
    int menuHeight;
    MenuPoint expected;
};

class MenuButtonPosition : public ::testing::TestWithParam<PositionCase>
{
};

TEST_P(MenuButtonPosition, KeepsTheButtonUncovered)
{
    const auto &c = GetParam();
    const MenuArea screen { 0, 0, 1024, 768 };
    EXPECT_EQ(
        MenuButtonModel::menuPosition(c.button, c.menuWidth, c.menuHeight, screen), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MenuButtonPosition,
    ::testing::Values(PositionCase { "Below", { 100, 200, 80, 25 }, 150, 300, { 100, 224 } },
        PositionCase { "FitsExactly", { 100, 200, 80, 25 }, 150, 544, { 100, 224 } },
        PositionCase { "AboveWhenNoRoomBelow", { 100, 600, 80, 25 }, 150, 300, { 100, 300 } },
        PositionCase { "BelowWhenNoRoomEither", { 100, 300, 80, 25 }, 150, 700, { 100, 324 } },
        PositionCase { "PulledInFromTheRight", { 950, 200, 70, 25 }, 150, 100, { 874, 224 } },
        PositionCase { "PulledInFromTheLeft", { -20, 200, 70, 25 }, 150, 100, { 0, 224 } }),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
