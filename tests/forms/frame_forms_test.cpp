// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormChildren.h"
#include "app/ApplicationFormModel.h"
#include "app/forms/TQuorvel.h"
#include "app/qt/QtTimers.h"
#include "catalogue/Catalogue.h"
#include "common/Error.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeViews.h"
#include "fakes/TestSupport.h"
#include "mainwindow/MainWindowModel.h"
#include "mainwindow/forms/TfrmMain.h"
#include "shell/TrayModel.h"
#include "triggers/TriggerScan.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::child;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeEventPump;
using quorvel::testing::FakeServices;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

// Ends the event loop as the application does.
class QuittingServices : public FakeServices
{
public:
    void endProgram() override
    {
        FakeServices::endProgram();
        QCoreApplication::quit();
    }
};

// The tray's peers, unused here.
class NoTray : public TrayServices
{
public:
    void restorePlacement() override { }
    void savePlacement() override { }
    void showMainWindow() override { }
    void raiseMainWindow() override { }
    void activateMainWindow() override { }
    int mainWindowLeft() const override { return 0; }
    void endProgram() override { }
};

class FrameForms : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override
    {
        writeCatalogue({ "Name=Mail\nType=4\nHotKey=49217\nTrigger=Inbox\nFoundHandle=5,6\n",
                           "Name=Editor\nType=1\n" },
            "SearchInterval=1000\n");
    }

    FakeErrorDisplay errors;
    QuittingServices services;
    FakeEventPump pump;
    MainWindowModel mainModel { catalogue, errors, services };
    ApplicationFormModel quorvelModel { mainModel, catalogue, errors, pump, services };
    quorvel::testing::FakeLauncher launcher;
    NoTray trayServices;
    TrayModel trayModel { TrayDependencies {
        store, errors, pump, launcher, nullptr, nullptr, trayServices } };
};

TEST_F(FrameForms, FormCreateShowsTheList)
{
    TfrmMain frm(mainModel);
    mainModel.FormCreate();
    EXPECT_EQ(frm.windowTitle(), "Ostrin Quorvel");
    const auto *lvMacro = child<QTreeWidget>(frm, "lvMacro");
    ASSERT_EQ(lvMacro->topLevelItemCount(), 2);
    EXPECT_EQ(lvMacro->topLevelItem(0)->text(0), "Mail");
    EXPECT_EQ(lvMacro->topLevelItem(0)->text(1), "Ctrl+Alt+A");
    EXPECT_EQ(lvMacro->topLevelItem(0)->text(2), "Inbox");
    EXPECT_EQ(store.readString("Macro1", "FoundHandle", "x"), "");
    EXPECT_FALSE(frm.isVisible());
}

struct IntervalCase
{
    const char *name;
    const char *value; // nullptr: key absent
    int interval;
    bool runs;
};

class SearchIntervals : public ::testing::TestWithParam<IntervalCase>
{
};

// The scan keeps its period through a timed wait; one without a period never runs.
TEST_P(SearchIntervals, ScanTimerFollowsSearchIntervalThroughATimedWait)
{
    TempDir dir;
    std::string ini = "[Main]\n";
    if (GetParam().value)
        ini += std::string("SearchInterval=") + GetParam().value + "\n";
    writeFile(dir.file("macros.ini"), ini);
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    FakeErrorDisplay errors;
    QtTimers timers(
        errors, [] {}, [] {});
    timers.setScanInterval(TriggerScan::searchInterval(catalogue));
    timers.setScanTimerEnabled(true);
    timers.setWaitTimer(Timers::WaitTimerDesignInterval, true);
    auto scanRuns = [&] {
        EXPECT_EQ(timers.scanTimer().isActive(), GetParam().runs);
        if (GetParam().runs) {
            EXPECT_EQ(timers.scanTimer().interval(), GetParam().interval);
        }
    };
    scanRuns();
    EXPECT_EQ(timers.waitTimer().interval(), Timers::WaitTimerDesignInterval);

    timers.setWaitTimer(1000, true);
    timers.setScanTimerEnabled(false);
    EXPECT_FALSE(timers.scanTimer().isActive());
    EXPECT_EQ(timers.waitTimer().interval(), 1000);
    EXPECT_TRUE(timers.waitTimer().isActive());
    timers.setWaitTimer(1000, false);
    timers.setScanTimerEnabled(true);
    scanRuns();
    EXPECT_FALSE(timers.waitTimer().isActive());
}

INSTANTIATE_TEST_SUITE_P(Values, SearchIntervals,
    ::testing::Values(IntervalCase { "absent", nullptr, 250, true },
        IntervalCase { "given", "40", 40, true }, IntervalCase { "zero", "0", 0, false },
        IntervalCase { "negative", "-5", 0, false }),
    [](const auto &info) { return std::string(info.param.name); });

// An early scan asked for twice runs once, and never where the periodic scan would not run.
TEST(RunnerClock, EarlyScanRunsOnlyWhileTheScanRuns)
{
    struct Case
    {
        int interval;
        bool enabled;
        bool disabledBeforeTheTick;
        int scans;
    };
    for (const Case c : { Case { 60000, true, false, 1 }, Case { 60000, false, false, 0 },
             Case { 0, true, false, 0 }, Case { 60000, true, true, 0 } }) {
        FakeErrorDisplay errors;
        int scans = 0;
        QtTimers timers(
            errors, [&] { ++scans; }, [] {});
        timers.setScanInterval(c.interval);
        timers.setScanTimerEnabled(c.enabled);
        timers.scanSoon();
        timers.scanSoon();
        if (c.disabledBeforeTheTick)
            timers.setScanTimerEnabled(false);
        QCoreApplication::processEvents();
        EXPECT_EQ(scans, c.scans) << c.interval << ' ' << c.enabled;
    }
}

TEST(RunnerClock, TicksArriveAndScanErrorsAreShownOnce)
{
    FakeErrorDisplay errors;
    int scans = 0;
    int waits = 0;
    QtTimers timers(
        errors,
        [&] {
            if (++scans == 1)
                throw Error("Invalid token");
        },
        [&] { ++waits; });
    timers.setScanInterval(20);
    timers.setScanTimerEnabled(true);
    timers.setWaitTimer(20, true);
    QElapsedTimer clock;
    clock.start();
    while ((scans < 2 || waits == 0) && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(scans, 2);
    EXPECT_GT(waits, 0);
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Invalid token" }));
}

TEST_F(FrameForms, CloseRunEndsOnceTheRunHasFinished)
{
    services.onRun = [&](int) { services.status = "NoRecord"; };
    TfrmMain frm(mainModel);
    TQuorvel quorvelForm(quorvelModel, trayModel);
    EXPECT_TRUE(quorvelModel.DoCommandLine({ "/Open:\"editor\"", "/Close" }));
    EXPECT_EQ(services.log, (std::vector<std::string> { "run 2" }));
    EXPECT_TRUE(child<QTimer>(quorvelForm, "PlaybackTimer")->isActive());
    QElapsedTimer clock;
    clock.start();
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(5000);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_LT(clock.elapsed(), 2500);
}

TEST_F(FrameForms, FailedRunLeavesThePlaybackTimerOff)
{
    services.onRun = [](int) { throw Error("Cannot open file /x/Mail.key"); };
    TfrmMain frm(mainModel);
    TQuorvel quorvelForm(quorvelModel, trayModel);
    EXPECT_FALSE(quorvelModel.DoCommandLine({ "Mail", "Editor", "/CLOSE" }));
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Cannot open file /x/Mail.key" }));
    EXPECT_FALSE(child<QTimer>(quorvelForm, "PlaybackTimer")->isActive());
}

TEST_F(FrameForms, HideSavesThePlacementAndSetPositionRestoresIt)
{
    TfrmMain frm(mainModel);
    frm.resize(500, 400);
    frm.move(40, 50);
    frm.show();
    child<QPushButton>(frm, "cmdClose")->click();
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(store.readInteger("Position", "Width", 0), 500);
    EXPECT_EQ(store.readInteger("Position", "Height", 0), 400);
    MainWindowModel otherModel(catalogue, errors, services);
    TfrmMain other(otherModel);
    otherModel.SetPosition();
    EXPECT_EQ(other.width(), 500);
    EXPECT_EQ(other.height(), 400);
}

TEST_F(FrameForms, CloseBoxSavesWhileVisibleAndEnds)
{
    TfrmMain frm(mainModel);
    frm.resize(480, 300);
    frm.show();
    frm.close();
    EXPECT_EQ(store.readInteger("Position", "Width", 0), 480);
    EXPECT_EQ(services.log, (std::vector<std::string> { "end" }));
}

TEST_F(FrameForms, HiddenFormGoesOffScreen)
{
    TfrmMain frm(mainModel);
    TQuorvel quorvelForm(quorvelModel, trayModel);
    quorvelForm.show();
    quorvelModel.FormCreate();
    EXPECT_FALSE(quorvelForm.isVisible());
    EXPECT_EQ(quorvelForm.x(), -5000);
}

TEST(RunnerClock, ScanTicksGoOnWhileATriggeredRunPumps)
{
    int ticks = 0;
    int nested = 0;
    int depth = 0;
    FakeErrorDisplay errors;
    QtTimers timers(
        errors,
        [&] {
            ++ticks;
            if (depth > 0) {
                ++nested;
                return;
            }
            // The first tick starts a run that waits for a window, pumping as it goes.
            ++depth;
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < 600)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            --depth;
        },
        [] {});
    timers.setScanInterval(20);
    timers.setScanTimerEnabled(true);
    QElapsedTimer started;
    started.start();
    while (ticks == 0 && started.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // About 30 periods pass inside the run; a loaded machine still delivers several.
    EXPECT_GE(nested, 3);
    EXPECT_EQ(depth, 0);
}

} // namespace
