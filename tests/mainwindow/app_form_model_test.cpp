// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ApplicationFormModel.h"
#include "catalogue/Catalogue.h"
#include "common/Error.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeViews.h"
#include "fakes/TestSupport.h"
#include "mainwindow/MainWindowModel.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::FakeApplicationFormView;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeEventPump;
using quorvel::testing::FakeMainWindowView;
using quorvel::testing::FakeServices;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

class HiddenForm : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override
    {
        writeCatalogue({ "Name=Mail\nType=4\n", "Name=Editor\nType=1\n" });
        frmMain.setView(mainView);
        model.setView(view);
    }

    FakeErrorDisplay errors;
    FakeServices services;
    FakeEventPump pump;
    FakeMainWindowView mainView;
    FakeApplicationFormView view;
    MainWindowModel frmMain { catalogue, errors, services };
    ApplicationFormModel model { frmMain, catalogue, errors, pump, services };
};

TEST_F(HiddenForm, FormCreateHidesOffScreenBetweenTwoPumps)
{
    bool hiddenAtFirstPass = true;
    pump.onProcess = [&] {
        if (pump.passes == 1)
            hiddenAtFirstPass = view.hiddenOffScreen;
    };
    model.FormCreate();
    EXPECT_FALSE(hiddenAtFirstPass);
    EXPECT_TRUE(view.hiddenOffScreen);
    EXPECT_EQ(pump.passes, 2);
}

struct EndCase
{
    const char *name;
    std::vector<std::string> arguments;
    std::string status;
    bool ends;
};

class EndAfterRun : public HiddenForm, public ::testing::WithParamInterface<EndCase>
{
};

// The PlaybackTimer ends the program only after /CLOSE and once a run has finished.
TEST_P(EndAfterRun, PlaybackTimerEndsOnlyAfterCloseAndAFinishedRun)
{
    EXPECT_TRUE(model.DoCommandLine(GetParam().arguments));
    EXPECT_TRUE(view.playbackTimer);
    services.status = GetParam().status;
    services.log.clear();
    model.PlaybackTimerTimer();
    EXPECT_EQ(services.log,
        GetParam().ends ? std::vector<std::string> { "end" } : std::vector<std::string> {});
}

INSTANTIATE_TEST_SUITE_P(Statuses, EndAfterRun,
    ::testing::Values(EndCase { "launchDone", { "/Open:\"editor\"", "/Close" }, "NoRecord", true },
        EndCase { "replayDone", { "/OPEN:Mail", "/CLOSE" }, "True", true },
        EndCase { "replayRunning", { "/OPEN:Mail", "/CLOSE" }, "", false },
        EndCase { "noClose", { "/OPEN:Mail" }, "NoRecord", false },
        EndCase { "noArguments", {}, "NoRecord", false },
        EndCase { "otherStatus", { "/CLOSE" }, "False", false },
        EndCase { "unknownNameLaterRun", { "/OPEN:Nobody", "/CLOSE" }, "NoRecord", true }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HiddenForm, CommandLineRunsThroughTheMainWindowAndPumpsAfterEachRecord)
{
    EXPECT_TRUE(model.DoCommandLine({ "/Open:\"editor\"", "/Close" }));
    EXPECT_EQ(services.log, (std::vector<std::string> { "run 2" }));
    EXPECT_EQ(pump.passes, 2);
    EXPECT_TRUE(model.closeWhenDone());
}

TEST_F(HiddenForm, FailedRunIsShownOnceAndLeavesThePlaybackTimerOff)
{
    services.onRun = [](int) { throw Error("Cannot open file /x/Mail.key"); };
    EXPECT_FALSE(model.DoCommandLine({ "Mail", "Editor", "/CLOSE" }));
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Cannot open file /x/Mail.key" }));
    EXPECT_EQ(services.log, (std::vector<std::string> { "run 1" }));
    EXPECT_FALSE(view.playbackTimer);
    EXPECT_FALSE(model.closeWhenDone());
}

TEST_F(HiddenForm, FirstRunShowsTheMainWindowCentredOnce)
{
    model.showOnFirstRun();
    EXPECT_TRUE(mainView.visible);
    EXPECT_EQ(mainView.geometry, (Rect { 429, 340, 421, 343 }));
    EXPECT_EQ(store.readString("Main", "FirstRun", ""), "0");
    mainView.visible = false;
    model.showOnFirstRun();
    EXPECT_FALSE(mainView.visible);
}

TEST_F(HiddenForm, WithoutATrayTheMainWindowShowsOnlyAfterTheRun)
{
    struct Case
    {
        const char *label;
        std::vector<std::string> arguments;
        bool runFails;
        std::string status; // when the start-up ends; the run is over at the first tick
        bool shownAtStart, shownAfterRun;
    };
    const std::vector<Case> cases = {
        { "no run", {}, false, "", true, true },
        { "replay running", { "/OPEN:Mail" }, false, "", false, true },
        { "replay with close", { "/OPEN:Mail", "/CLOSE" }, false, "", false, false },
        { "launch done", { "/Open:Editor" }, false, "NoRecord", true, true },
        { "failed run with close", { "/OPEN:Mail", "/CLOSE" }, true, "", true, true },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        HiddenForm::SetUp();
        mainView.visible = false;
        services.status = c.status;
        services.onRun = [&c](int) {
            if (c.runFails)
                throw Error("Cannot open file Mail.key");
        };
        model.DoCommandLine(c.arguments);
        model.showWithoutTray();
        EXPECT_EQ(mainView.visible, c.shownAtStart);
        services.status = "True";
        model.PlaybackTimerTimer();
        EXPECT_EQ(mainView.visible, c.shownAfterRun);
    }
}

TEST_F(HiddenForm, ClosingSavesThePlacementAndEnds)
{
    mainView.geometry = Rect { 7, 8, 600, 300 };
    model.FormClose();
    EXPECT_EQ(store.readInteger("Position", "Left", 0), 7);
    EXPECT_EQ(store.readInteger("Position", "Width", 0), 600);
    EXPECT_EQ(services.log, (std::vector<std::string> { "end" }));
}

} // namespace
