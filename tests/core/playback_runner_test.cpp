// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "playback_rig.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::PlaybackRig;
using quorvel::testing::writeFile;
using Call = quorvel::testing::FakeLauncher::Call;
using Log = std::vector<std::string>;

namespace {

TEST(Runner, LaunchPassesTheThreeFieldsAndReportsNoRecord)
{
    PlaybackRig rig;
    const int edit =
        rig.addRecord("Edit", macrokind::Launch, "C:\\Tools\\edit.exe~~/n readme.txt~~C:\\Docs");
    const int bare = rig.addRecord("Bare", macrokind::Launch, "missing-program~~~~");
    rig.runner.ProcessHotKey(edit);
    rig.runner.ProcessHotKey(bare);
    EXPECT_EQ(rig.launcher.calls,
        (std::vector<Call> { { "C:\\Tools\\edit.exe", "/n readme.txt", "C:\\Docs" },
            { "missing-program", "", "" } }));
    EXPECT_EQ(rig.runner.lastRunStatus(), "NoRecord");
    EXPECT_EQ(rig.observer.log, (Log { "run 1", "status NoRecord", "run 2", "status NoRecord" }));
}

TEST(Runner, RecordedMacrosStartTheJournalAndFinishLater)
{
    struct Case
    {
        int type;
        int speed; // 0: no Speed key
        bool keyStrokesOnlyBefore;
        bool hiSpeed;
        bool keyStrokesOnly;
    };
    const Case cases[] = {
        { macrokind::Keystrokes, 0, true, true, true },
        { macrokind::Keystrokes, 1, false, true, false },
        { macrokind::MouseAndKeys, 2, true, true, false },
        { macrokind::MouseAndKeys, 1, true, false, false },
        { macrokind::MouseAndKeys, 0, false, false, false },
    };
    for (const auto &c : cases) {
        PlaybackRig rig;
        const int n = rig.addRecord("Rec", c.type, "Rec.dat", c.speed);
        if (c.speed == 0)
            rig.store.writeString("Macro1", "Speed", "");
        rig.journal.KeyStrokesOnly = c.keyStrokesOnlyBefore;
        rig.runner.ProcessHotKey(n);
        ASSERT_EQ(rig.journal.replays.size(), 1u);
        EXPECT_EQ(rig.journal.replays[0].file, rig.folder() + "Rec.dat");
        EXPECT_EQ(rig.journal.replays[0].hiSpeed, c.hiSpeed) << c.type << " " << c.speed;
        EXPECT_EQ(rig.journal.replays[0].keyStrokesOnly, c.keyStrokesOnly);
        EXPECT_FALSE(rig.runner.journalIdle());
        EXPECT_EQ(rig.runner.lastRunStatus(), "");
        rig.journal.finish();
        EXPECT_TRUE(rig.runner.journalIdle());
        EXPECT_EQ(rig.runner.lastRunStatus(), "True");
    }
}

TEST(Runner, RecordsOfNoKnownKindRunNothing)
{
    PlaybackRig rig;
    rig.store.writeInteger("Main", "Entries", 4);
    rig.store.writeString("Macro1", "Type", "0");
    rig.store.writeString("Macro2", "Type", "5");
    rig.store.writeString("Macro3", "Name", "NoType");
    rig.store.writeString("Macro4", "Type", "four");
    for (int n : { 0, 1, 2, 3, 4, 5, -1 })
        rig.runner.ProcessHotKey(n);
    EXPECT_TRUE(rig.launcher.calls.empty());
    EXPECT_TRUE(rig.journal.replays.empty());
    EXPECT_TRUE(rig.keys.events.empty());
    EXPECT_EQ(rig.runner.lastRunStatus(), "");
}

TEST(Runner, AdvancedFileIsReadAsLinesJoinedWithCrLf)
{
    struct Case
    {
        std::string content;
        std::string typed;
    };
    const Case cases[] = {
        { "ab\ncd", "ab{ENTER}^{ENTER}cd" },
        { "ab\rcd\r\n", "ab{ENTER}^{ENTER}cd" },
        { "ab\r\n\r\ncd", "ab{ENTER}^{ENTER}{ENTER}^{ENTER}cd" },
        { std::string("ab\0cd", 5), "ab" },
        { "\xEF\xBB\xBFhi", "hi" },
        { "\x80", "\xE2\x82\xAC" },
        { "", "" },
    };
    for (const auto &c : cases) {
        PlaybackRig rig;
        rig.runner.ProcessHotKey(rig.addAdvanced("Text", c.content));
        EXPECT_EQ(rig.keys.typed(), c.typed);
        EXPECT_EQ(rig.runner.lastRunStatus(), "NoRecord");
        EXPECT_EQ(rig.keys.releaseAllCalls, 1);
    }
}

TEST(Runner, AReplayThatCannotStartFailsAndLeavesNothingWaiting)
{
    PlaybackRig rig;
    const int n = rig.addRecord("Rec", macrokind::Keystrokes, "Rec.dat");
    rig.journal.failing = { "play" };
    EXPECT_THROW(rig.runner.ProcessHotKey(n), Error);
    EXPECT_TRUE(rig.runner.journalIdle());
}

TEST(Runner, UnreadableMacroFileFails)
{
    PlaybackRig rig;
    const int missing = rig.addRecord("Gone", macrokind::Advanced, "Gone.key");
    const int folder = rig.addRecord("Folder", macrokind::Advanced, "");
    for (const auto &[n, path] :
        { std::pair { missing, rig.folder() + "Gone.key" }, std::pair { folder, rig.folder() } }) {
        try {
            rig.runner.ProcessHotKey(n);
            FAIL() << "no error";
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
        }
    }
    EXPECT_EQ(rig.runner.lastRunStatus(), "");
}

TEST(Runner, RunCommandRunsEveryRecordOfThatNameInOrder)
{
    PlaybackRig rig;
    rig.addAdvanced("Outer", "<<RUN:notes>>x<<RUN:nobody>>y");
    rig.addAdvanced("Notes", "1");
    rig.addAdvanced("Other", "no");
    rig.addAdvanced("NOTES", "3");
    rig.addRecord("notes", macrokind::Launch, "notes.txt~~~~");
    rig.runner.ProcessHotKey(1);
    EXPECT_EQ(rig.keys.typed(), "13xy");
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
    EXPECT_EQ(rig.observer.log,
        (Log { "run 1", "run 2", "status NoRecord", "run 4", "status NoRecord", "run 5",
            "status NoRecord", "status NoRecord" }));
}

TEST(Runner, NestedRunEmptiesTheStoredValue)
{
    PlaybackRig rig;
    rig.addAdvanced("Outer", "<<INPUT:q>><<WRITEVALUE>><<RUN:Inner>><<WRITEVALUE>>!");
    rig.addAdvanced("Inner", "-");
    rig.prompt.answers = { "v" };
    rig.runner.ProcessHotKey(1);
    EXPECT_EQ(rig.keys.typed(), "v-!");
}

TEST(Runner, NestingIsLimitedTo16RunLevels)
{
    // A chain M0 -> M1 -> ... : seventeen macros nest sixteen levels deep and run.
    for (const int macros : { 17, 18 }) {
        PlaybackRig rig;
        for (int i = 0; i < macros; ++i) {
            const std::string next = i + 1 < macros ? "<<RUN:M" + std::to_string(i + 1) + ">>" : "";
            rig.addAdvanced("M" + std::to_string(i), next + "x");
        }
        if (macros == 17) {
            rig.runner.ProcessHotKey(1);
            EXPECT_EQ(rig.keys.typed(), std::string(17, 'x'));
        } else {
            try {
                rig.runner.ProcessHotKey(1);
                FAIL() << "no error";
            } catch (const Error &e) {
                EXPECT_STREQ(e.what(), "Macro nesting is too deep (M17)");
            }
            EXPECT_EQ(rig.keys.typed(), "");
            EXPECT_EQ(rig.runner.lastRunStatus(), "");
            EXPECT_EQ(rig.keys.releaseAllCalls, 17);
        }
    }
}

TEST(Runner, MacroRunningItselfEndsWithTheNestingError)
{
    PlaybackRig rig;
    rig.addAdvanced("Self", "a<<RUN:self>>b");
    EXPECT_THROW(
        {
            try {
                rig.runner.ProcessHotKey(1);
            } catch (const Error &e) {
                EXPECT_STREQ(e.what(), "Macro nesting is too deep (self)");
                throw;
            }
        },
        Error);
    EXPECT_EQ(rig.keys.typed(), std::string(17, 'a'));
    // The levels unwound: a fresh run may nest again.
    rig.addAdvanced("Once", "<<RUN:Leaf>>");
    rig.addAdvanced("Leaf", "z");
    rig.keys.clear();
    rig.runner.ProcessHotKey(2);
    EXPECT_EQ(rig.keys.typed(), "z");
}

TEST(Runner, ErrorInANestedRunEndsEveryEnclosingRun)
{
    PlaybackRig rig;
    rig.addAdvanced("Outer", "a<<RUN:Middle>>b");
    rig.addAdvanced("Middle", "c<<REP2>><<RUN:Inner>><<ENDREP>>d");
    rig.addAdvanced("Inner", "e<<SECSx>>f");
    try {
        rig.runner.ProcessHotKey(1);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
    }
    EXPECT_EQ(rig.keys.typed(), "ace");
    EXPECT_EQ(rig.runner.lastRunStatus(), "");
    EXPECT_EQ(rig.keys.releaseAllCalls, 3);
}

TEST(Runner, AdvancedRunWaitsForAReplayItStarted)
{
    PlaybackRig rig;
    rig.addAdvanced("Outer", "<<RUN:Rec>>ab");
    rig.addRecord("Rec", macrokind::MouseAndKeys, "Rec.dat", 2);
    int passesAfterText = 0;
    rig.pump.onProcess = [&] {
        if (rig.keys.typed() == "ab" && ++passesAfterText == 3)
            rig.journal.finish();
    };
    rig.runner.ProcessHotKey(1);
    EXPECT_EQ(rig.keys.typed(), "ab"); // typed while the replay ran
    EXPECT_EQ(rig.observer.log, (Log { "run 1", "run 2", "status True", "status NoRecord" }));
}

TEST(Runner, NestedAdvancedRunDoesNotForgetAPendingReplay)
{
    PlaybackRig rig;
    rig.addAdvanced("Outer", "<<RUN:Rec>><<RUN:Inner>>z");
    rig.addRecord("Rec", macrokind::Keystrokes, "Rec.dat");
    rig.addAdvanced("Inner", "y");
    int passes = 0;
    rig.pump.onProcess = [&] {
        if (++passes == 5)
            rig.journal.finish();
    };
    rig.runner.ProcessHotKey(1);
    EXPECT_EQ(rig.keys.typed(), "yz");
    ASSERT_FALSE(rig.observer.log.empty());
    EXPECT_EQ(rig.observer.log.back(), "status NoRecord");
    const auto finished =
        std::find(rig.observer.log.begin(), rig.observer.log.end(), "status True");
    EXPECT_NE(finished, rig.observer.log.end());
}

// Data file names come from the catalogue; none may lead a run out of the data folder.
TEST(Runner, DataFileNamesStayInsideTheDataFolder)
{
    struct Case
    {
        int type;
        std::string fileName;
        bool refused;
        std::string typed; // a run that goes ahead
    };
    const Case cases[] = {
        { macrokind::Advanced, "../outside.key", true, "" },
        { macrokind::Advanced, "..", true, "" },
        { macrokind::Advanced, ".", true, "" },
        { macrokind::Advanced, "", true, "" },
        { macrokind::Advanced, "sub/../../outside.key", true, "" },
        { macrokind::Advanced, "/outside.key", true, "" },
        { macrokind::Advanced, "..\\outside.key", true, "" },
        { macrokind::Advanced, "Notes...key", false, "notes" }, // dots inside a name are fine
        { macrokind::Advanced, "..inside.key", false, "inside" },
        { macrokind::Keystrokes, "../outside.dat", true, "" },
        { macrokind::MouseAndKeys, "../outside.dat", true, "" },
        { macrokind::MouseAndKeys, "", true, "" },
        { macrokind::MouseAndKeys, "Rec.dat", false, "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fileName);
        PlaybackRig rig;
        // The data folder lies below the rig's folder, so "../" reaches a real file.
        const std::string folder = rig.folder() + "data/";
        ASSERT_TRUE(makeFolders(folder));
        writeFile(rig.dir.file("outside.key"), "outside");
        writeFile(folder + "Notes...key", "notes");
        writeFile(folder + "..inside.key", "inside");
        MacroRunner runner(PlaybackServices { rig.keys, rig.keyboard, rig.pump, rig.windows,
            rig.launcher, rig.journal, rig.prompt, rig.dateTime, rig.timers, rig.catalogue, folder,
            &rig.observer, false });
        const int n = rig.addRecord("M", c.type, c.fileName);
        if (!c.refused) {
            runner.ProcessHotKey(n);
            EXPECT_EQ(rig.keys.typed(), c.typed);
            EXPECT_EQ(rig.journal.replays.size(), c.type == macrokind::Advanced ? 0u : 1u);
            continue;
        }
        try {
            runner.ProcessHotKey(n);
            FAIL() << "no error";
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file " + folder + c.fileName);
        }
        EXPECT_EQ(rig.keys.typed(), "");
        EXPECT_TRUE(rig.journal.replays.empty());
        EXPECT_TRUE(runner.journalIdle());
        EXPECT_EQ(runner.runStatus(), RunStatus::None);
    }
}

class HotKeys : public ::testing::Test
{
protected:
    PlaybackRig rig;
    void SetUp() override
    {
        rig.addAdvanced("Typing", "abc");
        rig.addRecord("Launch", macrokind::Launch, "prog~~~~");
        rig.addAdvanced("Broken", "x<<MINS?>>");
    }
};

TEST_F(HotKeys, SlotRunsItsRecordAndSlotZeroNothing)
{
    rig.runner.EPHotKey0HotKey(2);
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
    rig.runner.EPHotKey0HotKey(0);
    rig.runner.EPHotKey0HotKey(101);
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
    EXPECT_EQ(rig.observer.log, (Log { "run 2", "status NoRecord" }));
    EXPECT_FALSE(rig.runner.hotKeyBusy());
}

TEST_F(HotKeys, EditingDropsThePress)
{
    rig.runner.setEditing(true);
    rig.runner.EPHotKey0HotKey(2);
    EXPECT_TRUE(rig.launcher.calls.empty());
    EXPECT_EQ(rig.pump.passes, 0);
    rig.runner.setEditing(false);
    rig.runner.EPHotKey0HotKey(2);
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
}

TEST_F(HotKeys, WaitsUntilCtrlAltAndShiftAreUp)
{
    rig.keyboard.held = { vk::Control, vk::Shift };
    rig.pump.onProcess = [&] {
        if (rig.pump.passes == 2)
            rig.keyboard.held.erase(vk::Control);
        if (rig.pump.passes == 3)
            rig.keyboard.held.clear();
    };
    rig.launcher.onOpen = [&](const Call &) {
        EXPECT_TRUE(rig.keyboard.held.empty());
        EXPECT_TRUE(rig.runner.hotKeyBusy());
    };
    rig.runner.EPHotKey0HotKey(2);
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
    EXPECT_EQ(rig.keyboard.queries,
        (std::vector<KeyCode> {
            vk::Control, vk::Control, vk::Menu, vk::Shift, vk::Control, vk::Menu, vk::Shift }));
}

TEST_F(HotKeys, WaitsForTheHotKeysOwnKeyToo)
{
    // A sender that lets the modifiers go before the key: typing must wait for the key too.
    rig.keyboard.held = { 0x46 };
    rig.pump.onProcess = [&] {
        if (rig.pump.passes == 3)
            rig.keyboard.held.clear();
    };
    rig.launcher.onOpen = [&](const Call &) { EXPECT_TRUE(rig.keyboard.held.empty()); };
    rig.runner.EPHotKey0HotKey(2, 0x46);
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
    EXPECT_EQ(rig.pump.passes, 3);
}

TEST_F(HotKeys, SecondPressDuringARunIsDroppedButATriggerRuns)
{
    rig.pump.post([&] { rig.runner.EPHotKey0HotKey(2); }); // during the wait for release
    rig.runner.EPHotKey0HotKey(1);
    EXPECT_TRUE(rig.launcher.calls.empty());

    // During the typing: another hot key is dropped, a trigger's run nests.
    rig.addAdvanced("Paused", "ab<<SECS0>>c");
    rig.keys.clear();
    bool posted = false;
    rig.pump.onProcess = [&] {
        if (!posted && rig.keys.typed() == "ab") {
            posted = true;
            rig.pump.post([&] { rig.runner.EPHotKey0HotKey(2); });
            rig.pump.post([&] { rig.runner.ProcessHotKey(1); });
        }
    };
    rig.runner.EPHotKey0HotKey(4);
    EXPECT_TRUE(rig.launcher.calls.empty());
    EXPECT_EQ(rig.keys.typed(), "ababcc");
    EXPECT_FALSE(rig.runner.hotKeyBusy());
    rig.runner.EPHotKey0HotKey(2);
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
}

TEST_F(HotKeys, FailedRunClearsTheBusyFlagAndRethrows)
{
    try {
        rig.runner.EPHotKey0HotKey(3);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_STREQ(e.what(), "'?' is not a valid integer value");
    }
    EXPECT_FALSE(rig.runner.hotKeyBusy());
    EXPECT_EQ(rig.keys.releaseAllCalls, 1);
    rig.runner.EPHotKey0HotKey(2);
    EXPECT_EQ(rig.launcher.calls.size(), 1u);
}

TEST_F(HotKeys, ErrorInARunStartedInsideAnotherReachesOnlyItsOwnCaller)
{
    std::string nestedError;
    rig.pump.post([&] {
        try {
            rig.runner.ProcessHotKey(3);
        } catch (const Error &e) {
            nestedError = e.what();
        }
    });
    rig.runner.EPHotKey0HotKey(1);
    EXPECT_EQ(nestedError, "'?' is not a valid integer value");
    EXPECT_EQ(rig.keys.typed(), "xabc");
    EXPECT_EQ(rig.runner.lastRunStatus(), "NoRecord");
}

} // namespace
