#include "common/Error.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/TestSupport.h"
#include "forms/TQuorvel.h"
#include "forms/TfrmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

class FrameForms : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(dir.file("macros.ini"),
            "[Main]\nEntries=2\nSearchInterval=1000\n"
            "[Macro1]\nName=Mail\nType=4\nHotKey=49217\nTrigger=Inbox\nFoundHandle=5,6\n"
            "[Macro2]\nName=Editor\nType=1\n");
    }

    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    FakeErrorDisplay errors;
};

TEST_F(FrameForms, FormCreateLoadsTheListStartsTimersAndEmptiesTriggerMemory)
{
    TfrmMain::Hooks hooks;
    TfrmMain frm(catalogue, errors, hooks);
    frm.FormCreate();
    EXPECT_EQ(frm.windowTitle(), "Ostrin Quorvel");
    ASSERT_EQ(frm.lvMacro->topLevelItemCount(), 2);
    EXPECT_EQ(frm.lvMacro->topLevelItem(0)->text(0), "Mail");
    EXPECT_EQ(frm.lvMacro->topLevelItem(0)->text(1), "Ctrl+Alt+A");
    EXPECT_EQ(frm.lvMacro->topLevelItem(0)->text(2), "Inbox");
    EXPECT_EQ(frm.Timer1.interval(), 1000);
    EXPECT_TRUE(frm.Timer1.isActive());
    EXPECT_EQ(store.readString("Macro1", "FoundHandle", "x"), "");
    EXPECT_FALSE(frm.isVisible());
}

TEST_F(FrameForms, TimedWaitSwitchesTheScanOffAndOn)
{
    TfrmMain frm(catalogue, errors, {});
    frm.FormCreate();
    frm.setScanTimerEnabled(false);
    frm.setWaitTimer(1000, true);
    EXPECT_FALSE(frm.Timer1.isActive());
    EXPECT_TRUE(frm.tmr1.isActive());
    frm.setWaitTimer(1000, false);
    frm.setScanTimerEnabled(true);
    EXPECT_TRUE(frm.Timer1.isActive());
    EXPECT_FALSE(frm.tmr1.isActive());
}

TEST_F(FrameForms, ZeroSearchIntervalNeverScans)
{
    store.writeInteger("Main", "SearchInterval", 0);
    int ticks = 0;
    TfrmMain::Hooks hooks;
    hooks.timer1Tick = [&] { ++ticks; };
    TfrmMain frm(catalogue, errors, hooks);
    frm.FormCreate();
    frm.setScanTimerEnabled(true); // after a timed wait
    EXPECT_FALSE(frm.Timer1.isActive());
}

TEST_F(FrameForms, ScanTicksGoOnWhileATriggeredRunPumps)
{
    store.writeInteger("Main", "SearchInterval", 20);
    int ticks = 0;
    int nested = 0;
    int depth = 0;
    TfrmMain::Hooks hooks;
    hooks.timer1Tick = [&] {
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
    };
    TfrmMain frm(catalogue, errors, hooks);
    frm.FormCreate();
    QElapsedTimer started;
    started.start();
    while (ticks == 0 && started.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // About 30 periods pass inside the run; a loaded machine still delivers several.
    EXPECT_GE(nested, 3);
    EXPECT_EQ(depth, 0);
}

TEST_F(FrameForms, CloseRunEndsOnceTheRunHasFinished)
{
    std::string status;
    std::vector<int> runs;
    TfrmMain::Hooks hooks;
    hooks.processHotKey = [&](int n) {
        runs.push_back(n);
        status = "NoRecord";
    };
    TfrmMain frm(catalogue, errors, hooks);
    TQuorvel quorvelForm(frm, catalogue, errors, [&] { return status; });
    EXPECT_TRUE(quorvelForm.DoCommandLine({ "/Open:\"editor\"", "/Close" }));
    EXPECT_EQ(runs, (std::vector<int> { 2 }));
    EXPECT_TRUE(quorvelForm.PlaybackTimer.isActive());
    QElapsedTimer clock;
    clock.start();
    QTimer guard;
    guard.setSingleShot(true);
    guard.start(5000);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_LT(clock.elapsed(), 2500);
}

TEST_F(FrameForms, FailedRunIsShownOnceAndLeavesThePlaybackTimerOff)
{
    TfrmMain::Hooks hooks;
    hooks.processHotKey = [](int) { throw Error("Cannot open file /x/Mail.key"); };
    TfrmMain frm(catalogue, errors, hooks);
    TQuorvel quorvelForm(frm, catalogue, errors, [] { return std::string(); });
    EXPECT_FALSE(quorvelForm.DoCommandLine({ "Mail", "Editor", "/CLOSE" }));
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Cannot open file /x/Mail.key" }));
    EXPECT_FALSE(quorvelForm.PlaybackTimer.isActive());
}

TEST_F(FrameForms, HideSavesThePlacementAndSetPositionRestoresIt)
{
    TfrmMain frm(catalogue, errors, {});
    frm.resize(500, 400);
    frm.move(40, 50);
    frm.show();
    frm.cmdClose->click();
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(store.readInteger("Position", "Width", 0), 500);
    EXPECT_EQ(store.readInteger("Position", "Height", 0), 400);
    TfrmMain other(catalogue, errors, {});
    other.SetPosition();
    EXPECT_EQ(other.width(), 500);
    EXPECT_EQ(other.height(), 400);
}

} // namespace
