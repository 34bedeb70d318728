// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "common/Error.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeViews.h"
#include "fakes/TestSupport.h"
#include "mainwindow/MainWindowModel.h"
#include "mainwindow/Placement.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeMainWindowView;
using quorvel::testing::FakeServices;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

class MainWindow : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override
    {
        writeCatalogue({ "Name=Mail\nType=4\nHotKey=49217\nTrigger=Inbox\nFoundHandle=5,6\n",
                           "Name=Editor\nType=1\nFoundHandle=7\n" },
            "SearchInterval=1000\n");
        model.setView(view);
    }

    FakeErrorDisplay errors;
    FakeServices services;
    FakeMainWindowView view;
    MainWindowModel model { catalogue, errors, services };
};

TEST_F(MainWindow, FormCreateLoadsBindsThenEmptiesTriggerMemory)
{
    std::vector<std::string> order;
    services.onBind = [&] {
        order.push_back("bind after " + std::to_string(view.loads) + " load");
        order.push_back("memory " + store.readString("Macro1", "FoundHandle", "x"));
    };
    model.FormCreate();
    EXPECT_EQ(order, (std::vector<std::string> { "bind after 1 load", "memory 5,6" }));
    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[0].caption, "Mail");
    EXPECT_EQ(view.rows[0].hotKeyText, "Ctrl+Alt+A");
    EXPECT_EQ(view.rows[0].trigger, "Inbox");
    EXPECT_EQ(store.readString("Macro1", "FoundHandle", "x"), "");
    EXPECT_EQ(store.readString("Macro2", "FoundHandle", "x"), "");
    EXPECT_FALSE(view.visible);
    EXPECT_TRUE(errors.shown.empty());
}

// A program hidden in the tray builds no window: the list loads without one, and the first
// placement builds it, once.
TEST_F(MainWindow, StartUpBuildsNoViewAndTheFirstNeedBuildsIt)
{
    MainWindowModel hidden(catalogue, errors, services);
    int built = 0;
    hidden.setViewMaker([&]() -> MainWindowView & {
        ++built;
        view.loadRows(hidden.listRows());
        return view;
    });
    hidden.FormCreate();
    EXPECT_EQ(built, 0);
    hidden.SetPosition();
    hidden.showCentred();
    EXPECT_EQ(built, 1);
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_TRUE(view.visible);
}

TEST_F(MainWindow, FailedBindingIsShownAndStartUpGoesOn)
{
    services.onBind = [] { throw Error("Cannot register"); };
    model.FormCreate();
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Cannot register" }));
    EXPECT_EQ(store.readString("Macro1", "FoundHandle", "x"), "");
}

TEST_F(MainWindow, HideSavesThePlacementAndSetPositionRestoresIt)
{
    view.visible = true;
    view.geometry = Rect { 40, 50, 500, 400 };
    model.cmdCloseClick();
    EXPECT_FALSE(view.visible);
    EXPECT_EQ(store.readInteger("Position", "Width", 0), 500);
    EXPECT_EQ(store.readInteger("Position", "Height", 0), 400);
    EXPECT_TRUE(services.log.empty()); // hiding does not end the program

    FakeMainWindowView other;
    MainWindowModel otherModel(catalogue, errors, services);
    otherModel.setView(other);
    otherModel.SetPosition();
    EXPECT_EQ(other.geometry, (Rect { 40, 50, 500, 400 }));
}

TEST_F(MainWindow, WithoutPlacementSetPositionAndFirstRunCentre)
{
    model.SetPosition();
    EXPECT_EQ(view.geometry, (Rect { 429, 340, 421, 343 }));
    EXPECT_FALSE(view.visible);
    view.geometry = Rect {};
    view.geometry.width = 421;
    view.geometry.height = 343;
    model.showCentred();
    EXPECT_EQ(view.geometry, (Rect { 429, 340, 421, 343 }));
    EXPECT_TRUE(view.visible);
}

struct CloseCase
{
    const char *name;
    bool visible;
    bool saved;
};

class Closing : public MainWindow, public ::testing::WithParamInterface<CloseCase>
{
};

TEST_P(Closing, CloseSavesOnlyWhenVisibleAndAlwaysEnds)
{
    view.visible = GetParam().visible;
    view.geometry = Rect { 1, 2, 300, 200 };
    model.FormClose();
    EXPECT_EQ(store.readInteger("Position", "Width", 10000) == 300, GetParam().saved);
    EXPECT_EQ(services.log, (std::vector<std::string> { "end" }));
}

INSTANTIATE_TEST_SUITE_P(Visibility, Closing,
    ::testing::Values(CloseCase { "visible", true, true }, CloseCase { "hidden", false, false }),
    [](const auto &info) { return std::string(info.param.name); });

struct PlacementCase
{
    const char *name;
    const char *position;
    std::optional<Rect> expected;
};

class Placements : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(Placements, SetPositionRules)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), std::string("[Position]\n") + GetParam().position);
    ProfileStore store(dir.file("macros.ini"));
    const Rect screen { 0, 0, 1280, 1024 };
    EXPECT_EQ(storedPlacement(store, screen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, Placements,
    ::testing::Values(PlacementCase { "none", "", std::nullopt },
        PlacementCase { "width10000", "Width=10000\nHeight=300\nTop=5\nLeft=5\n", std::nullopt },
        PlacementCase {
            "all", "Width=500\nHeight=400\nTop=20\nLeft=30\n", Rect { 30, 20, 500, 400 } },
        PlacementCase {
            "heightDefault", "Width=500\nTop=20\nLeft=30\n", Rect { 30, 20, 500, 343 } },
        PlacementCase {
            "edgesMissingCentre", "Width=500\nHeight=400\n", Rect { 390, 312, 500, 400 } },
        PlacementCase { "offScreenPulledBack", "Width=500\nHeight=400\nTop=5000\nLeft=-9000\n",
            Rect { -450, 994, 500, 400 } }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Placement, SaveWritesAllFourKeys)
{
    TempDir dir;
    ProfileStore store(dir.file("macros.ini"));
    savePlacement(store, Rect { 1, 2, 3, 4 });
    EXPECT_EQ(quorvel::testing::readFile(dir.file("macros.ini")),
        "[Position]\nWidth=3\nHeight=4\nTop=2\nLeft=1\n");
}

} // namespace
