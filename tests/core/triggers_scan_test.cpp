// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/TestSupport.h"
#include "playback_rig.h"
#include "triggers/TitleSearch.h"
#include "triggers/TriggerScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::testing {
namespace {

class Scan : public ::testing::Test
{
protected:
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    FakeWindowSystem windows;
    FakeEventPump pump;
    FakeErrorDisplay errors;
    std::vector<int> runs;
    std::function<void(int)> onRun;
    TriggerScan scan { catalogue, windows, pump,
        [this](int n) {
            runs.push_back(n);
            if (onRun)
                onRun(n);
        },
        &errors };

    int addRecord(const std::string &trigger)
    {
        MacroRecord r;
        r.name = "M";
        r.type = macrokind::Advanced;
        r.fileName = "M.key";
        r.trigger = trigger;
        return catalogue.append(r);
    }
    std::string found(int n)
    {
        return store.readString(Catalogue::sectionName(n), "FoundHandle", "");
    }
};

TEST_F(Scan, TitleRuleIsTheWholeTitleIgnoringCaseAndSurroundingBlanks)
{
    struct Case
    {
        const char *trigger;
        const char *title;
        bool fires;
    } cases[] = {
        { "Report - Editor", "report - editor", true },
        { "  Report - Editor ", "\tREPORT - EDITOR  ", true },
        { "Editor", "Report - Editor", false },
        { "Report - Editor", "Report - Editor (2)", false },
        { "Report  Editor", "Report Editor", false }, // inner blanks count
        { "Grüße", "GRüßE", true }, // only ASCII letters fold
        { "Grüße", "GRÜSSE", false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.trigger + std::string(" / ") + c.title);
        TempDir d;
        ProfileStore s(d.file("macros.ini"));
        Catalogue cat(s);
        FakeWindowSystem w;
        w.addWindow(c.title);
        MacroRecord r;
        r.name = "M";
        r.trigger = c.trigger;
        cat.append(r);
        int fired = 0;
        TriggerScan t(cat, w, pump, [&](int) { ++fired; });
        t.Timer1Timer();
        EXPECT_EQ(fired, c.fires ? 1 : 0);
    }
}

TEST_F(Scan, FiresOncePerWindowAndAgainForANewWindow)
{
    addRecord("Calc");
    const WindowHandle first = windows.addWindow("Calc");
    for (int tick = 0; tick < 5; ++tick)
        scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1 }));
    EXPECT_EQ(found(1), std::to_string(first));

    windows.removeWindow(first);
    const WindowHandle second = windows.addWindow("Calc");
    scan.Timer1Timer();
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1, 1 }));
    // Newest first.
    EXPECT_EQ(found(1), std::to_string(second) + "," + std::to_string(first));
}

TEST_F(Scan, OnlyTheFirstMatchingWindowCountsAndAHiddenOneFiresNothing)
{
    addRecord("Calc");
    const WindowHandle hidden = windows.addWindow("Calc", false);
    windows.addWindow("calc");
    scan.Timer1Timer();
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(found(1), ""); // nothing remembered: it fires once it shows

    windows.windows[0].visible = true;
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1 }));
    EXPECT_EQ(found(1), std::to_string(hidden));
}

TEST_F(Scan, ARunWaitsABitForTheManagerToFocusTheWindow)
{
    addRecord("Calc");
    const struct
    {
        const char *what;
        int focusedAfter; // sleeps; -1: it stays in the background
        int sleeps;
    } cases[] = {
        { "focused already", 0, 0 },
        { "focused a moment later", 3, 3 },
        { "left in the background", -1, 20 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        runs.clear();
        pump.sleeps.clear();
        const WindowHandle window = windows.addWindow("Calc");
        windows.foreground = c.focusedAfter == 0 ? window : 0;
        pump.onSleep = [&](int) {
            if (int(pump.sleeps.size()) == c.focusedAfter)
                windows.foreground = window;
        };
        onRun = [&](int) { EXPECT_EQ(int(pump.sleeps.size()), c.sleeps); };
        scan.Timer1Timer();
        EXPECT_EQ(runs, (std::vector<int> { 1 }));
        windows.removeWindow(window);
    }
    EXPECT_EQ(pump.sleepsOf(5), 20);
}

TEST_F(Scan, RecordsWithTheSameTriggerEachFireOnceInOrder)
{
    addRecord("Calc");
    addRecord("");
    addRecord("CALC");
    windows.foreground = windows.addWindow("Calc");
    scan.Timer1Timer();
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1, 3 }));
    // One search per record with a trigger, each followed by a pump.
    EXPECT_EQ(windows.enumerations, 4);
    EXPECT_EQ(pump.passes, 4);
}

TEST_F(Scan, HandleIsStoredBeforeTheRunSoATickInsideItDoesNotFireAgain)
{
    addRecord("Calc");
    const WindowHandle w = windows.addWindow("Calc");
    int depth = 0;
    onRun = [&](int) {
        EXPECT_EQ(found(1), std::to_string(w));
        if (++depth < 3)
            scan.Timer1Timer(); // a tick handled while the macro pumps
    };
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1 }));
}

TEST_F(Scan, TickInsideARunSeesWhatAnEarlierRecordJustStored)
{
    // Record 1's run pumps into a tick that serves record 2; the outer tick must then skip it.
    addRecord("Calc");
    addRecord("Calc");
    windows.addWindow("Calc");
    bool nested = false;
    onRun = [&](int n) {
        if (n == 1 && !nested) {
            nested = true;
            scan.Timer1Timer();
        }
    };
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1, 2 }));
}

TEST_F(Scan, ResetTriggerMemoryFiresAgainForWindowsStillOpen)
{
    addRecord("Calc");
    windows.addWindow("Calc");
    scan.Timer1Timer();
    catalogue.resetTriggerMemory(); // another copy of the program started
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1, 1 }));
}

TEST_F(Scan, FoundHandleEntriesMatchOnlyAsWholeNumbers)
{
    struct Case
    {
        const char *list;
        WindowHandle window;
        bool holds;
    } cases[] = {
        { "4194316", 4194316, true },
        { "5,4194316,7", 4194316, true },
        { "419431", 4194316, false }, // a cut-off entry
        { "41943160", 4194316, false },
        { ",,", 0, false },
        { "", 0, false },
        { "x,4194316z", 4194316, false },
        { " 4194316", 4194316, false },
        { "-5", 5, false },
        { "18446744073709551615", 18446744073709551615ull, true },
    };
    for (const auto &c : cases)
        EXPECT_EQ(TriggerScan::listHolds(c.list, c.window), c.holds) << c.list;
}

TEST_F(Scan, LongFoundHandleListKeepsTheNewestAndDropsTheOldest)
{
    addRecord("Calc");
    std::string old;
    for (int i = 0; old.size() < 1100; ++i)
        old += (old.empty() ? "" : ",") + std::to_string(1000000 + i);
    store.writeString("Macro1", "FoundHandle", old);
    const WindowHandle w = windows.addWindow("Calc");
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1 }));
    const std::string written = store.readString("Macro1", "FoundHandle", "");
    EXPECT_EQ(written.size(), 1023u);
    EXPECT_EQ(written, (std::to_string(w) + "," + old).substr(0, 1023));
    scan.Timer1Timer();
    EXPECT_EQ(runs.size(), 1u);
}

TEST_F(Scan, RunErrorIsShownAndEndsTheTick)
{
    addRecord("Calc");
    addRecord("Calc");
    windows.addWindow("Calc");
    onRun = [](int) { throw Error("Cannot open file /x/M.key"); };
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1 }));
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Cannot open file /x/M.key" }));
    // Record 1 has its window; the next tick goes on with record 2.
    onRun = nullptr;
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1, 2 }));
}

TEST_F(Scan, UnwritableCatalogueIsReportedOncePerFailure)
{
    addRecord("Calc");
    const WindowHandle first = windows.addWindow("Calc");
    // A folder where the lock file belongs: reads work, every write is refused.
    const std::string lock = dir.file("macros.ini.lock");
    ::unlink(lock.c_str());
    ASSERT_EQ(::mkdir(lock.c_str(), 0700), 0);
    const std::string refused = "Unable to write to " + dir.file("macros.ini");
    for (int tick = 0; tick < 5; ++tick)
        scan.Timer1Timer();
    EXPECT_EQ(errors.shown, (std::vector<std::string> { refused }));
    EXPECT_TRUE(runs.empty()); // nothing runs without its handle stored

    ASSERT_EQ(::rmdir(lock.c_str()), 0);
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1 }));

    // Failing again after a success is a new failure: shown again, once.
    ::unlink(lock.c_str());
    ASSERT_EQ(::mkdir(lock.c_str(), 0700), 0);
    windows.removeWindow(first);
    windows.addWindow("Calc");
    for (int tick = 0; tick < 3; ++tick)
        scan.Timer1Timer();
    EXPECT_EQ(errors.shown, (std::vector<std::string> { refused, refused }));
    EXPECT_EQ(runs.size(), 1u);
    ::rmdir(lock.c_str());
}

TEST_F(Scan, RunErrorsAreEachShownEvenWhenAlike)
{
    addRecord("Calc");
    addRecord("Calc");
    windows.addWindow("Calc");
    onRun = [](int) { throw Error("Cannot open file /x/M.key"); };
    scan.Timer1Timer();
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1, 2 }));
    EXPECT_EQ(errors.shown.size(), 2u);
}

TEST_F(Scan, NoEntriesNoSearch)
{
    store.writeString("Macro1", "Trigger", "Calc"); // beyond Entries
    windows.addWindow("Calc");
    scan.Timer1Timer();
    store.writeInteger("Main", "Entries", -3);
    scan.Timer1Timer();
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(windows.enumerations, 0);
}

TEST_F(Scan, AbsurdEntriesSearchesOnlyTheRecordsPresent)
{
    writeFile(dir.file("macros.ini"),
        "[Main]\nEntries=999999999\n[Macro1]\nTrigger=Calc\n[Macro2]\nName=x\n");
    windows.addWindow("Calc");
    scan.Timer1Timer();
    EXPECT_EQ(runs, (std::vector<int> { 1 }));
    EXPECT_EQ(windows.enumerations, 1);
    EXPECT_FALSE(store.document()->hasSection("Macro3"));
}

TEST_F(Scan, SearchIntervalDefaultsTo250)
{
    EXPECT_EQ(TriggerScan::searchInterval(catalogue), 250);
    store.writeInteger("Main", "SearchInterval", 1000);
    EXPECT_EQ(TriggerScan::searchInterval(catalogue), 1000);
}

TEST_F(Scan, ALookForSearchInProgressKeepsItsTargetAndResult)
{
    addRecord("Calc");
    windows.addWindow("Calc");
    const WindowHandle editor = windows.addWindow("Editor");
    TitleSearch lookFor("editor");
    ASSERT_TRUE(lookFor.run(windows));
    int nested = 0;
    pump.onProcess = [&] {
        if (nested++ < 3)
            scan.Timer1Timer();
    };
    scan.Timer1Timer();
    pump.onProcess = nullptr;
    EXPECT_TRUE(lookFor.found());
    EXPECT_EQ(lookFor.foundWindow(), editor);
}

// Time passes only in the pump's sleeps; Timer1 (250 ms) reaches the first pass after each
// period while the scan timer is on, in the middle of whatever run is pumping, as the event
// loop delivers it.
TEST(ScanDuringRuns, AnotherTriggerFiresWhileATriggeredRunWaitsForAWindow)
{
    PlaybackRig rig;
    const int watch = rig.addAdvanced("Watch", "<<LOOKFOR:Never~~SECS:8>>w");
    const int mail = rig.addAdvanced("Mail", "m<<SECS2>>n");
    rig.store.writeString(Catalogue::sectionName(watch), "Trigger", "Calc");
    rig.store.writeString(Catalogue::sectionName(mail), "Trigger", "Inbox");
    int now = 0;
    int due = 250;
    std::vector<std::pair<int, int>> fired; // record, time
    TriggerScan scan(rig.catalogue, rig.windows, rig.pump, [&](int n) {
        fired.emplace_back(n, now);
        rig.runner.ProcessHotKey(n);
    });
    int scansInWait = 0;
    const auto base = rig.pump.onProcess;
    rig.pump.onProcess = [&] {
        base();
        if (rig.timers.waitEnabled) {
            now += 1000; // a timed wait's tick is a second
            scansInWait += rig.timers.scanEnabled ? 1 : 0;
        }
        if (rig.timers.scanEnabled && now >= due) {
            due = now + 250;
            scan.Timer1Timer();
        }
    };
    bool inboxShown = false;
    rig.pump.onSleep = [&](int ms) {
        now += ms;
        if (now >= 3000 && !inboxShown) {
            inboxShown = true;
            rig.windows.addWindow("Inbox");
        }
    };
    rig.windows.foreground = rig.windows.addWindow("Calc");
    scan.Timer1Timer();
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[0], (std::pair { watch, 0 }));
    // Served within a period or two of showing, not after Watch's 8 s.
    EXPECT_EQ(fired[1].first, mail);
    EXPECT_GE(fired[1].second, 3000);
    EXPECT_LE(fired[1].second, 4000);
    EXPECT_EQ(rig.keys.typed(), "mnw");
    // The timed wait inside Mail's run kept the scan off.
    EXPECT_EQ(scansInWait, 0);
    EXPECT_TRUE(rig.timers.scanEnabled);
}

} // namespace
} // namespace quorvel::testing
