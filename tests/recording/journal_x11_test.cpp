// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingHarness.h"
#include "common/Error.h"
#include "core/recording_events.h"
#include "fakes/TestSupport.h"
#include "platform/x11/X11Backend.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace quorvel {
namespace {

using namespace quorvel::testing;
using Clock = std::chrono::steady_clock;

class JournalX11 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(journal.available()) << journal.unavailableReason();
        journal.OnFinished = [this](bool userCancel) { finished.push_back(userCancel); };
        warpPointer(5, 5);
    }
    void TearDown() override
    {
        std::string held;
        EXPECT_TRUE(nothingHeld(&held)) << held;
    }

    bool waitFinished(std::size_t count = 1, int ms = 10000)
    {
        return pumpUntil(
            journal, [&] { return finished.size() >= count; }, ms);
    }

    // Records while xdotool runs each argument list in turn; stops with StopRecording.
    JournalRecording record(bool keysOnly, const std::vector<std::vector<std::string>> &steps)
    {
        journal.RecordFileName = dir.file("rec.dat");
        journal.KeyStrokesOnly = keysOnly;
        journal.StartRecording();
        for (const auto &step : steps)
            EXPECT_EQ(xdotool(journal, step), 0);
        pumpFor(journal, 50);
        journal.StopRecording();
        const JournalParseResult loaded = loadJournal(journal.RecordFileName);
        EXPECT_TRUE(loaded.recording) << loaded.error;
        return loaded.recording.value_or(JournalRecording {});
    }

    void replay(const std::string &path, bool fast)
    {
        journal.PlayBackFileName = path;
        journal.HiSpeedPlayBack = fast;
        journal.StartPlayBack();
    }

    TempDir dir;
    X11Journal journal;
    std::vector<bool> finished;
};

std::string fileText(const std::string &path)
{
    return readFile(path);
}

TEST_F(JournalX11, TypingRecordedFromAnotherClientReplaysIntoXtermAtBothSpeeds)
{
    const JournalRecording rec =
        record(true, { { "type", "--delay", "15", "Hello, world 42" }, { "key", "Return" } });
    EXPECT_TRUE(rec.keysOnly);
    ASSERT_GE(rec.events.size(), 30u);

    const std::string out = dir.file("out.txt");
    const pid_t xterm = spawn({ "xterm", "-title", "quorvel-cat", "-geometry", "80x10+300+300",
        "-e", "sh", "-c", "exec cat > \"$0\"", out });
    ASSERT_EQ(
        run({ "xdotool", "search", "--sync", "--name", "quorvel-cat", "windowactivate", "--sync" }),
        0);
    pumpFor(journal, 300);

    replay(journal.RecordFileName, true);
    ASSERT_TRUE(waitFinished(1));
    replay(journal.RecordFileName, false);
    ASSERT_TRUE(waitFinished(2));
    EXPECT_EQ(finished, (std::vector<bool> { false, false }));

    const std::string expected = "Hello, world 42\nHello, world 42\n";
    pumpUntil(
        journal, [&] { return fileText(out) == expected; }, 5000);
    EXPECT_EQ(fileText(out), expected);
    ::kill(xterm, SIGTERM);
    ::waitpid(xterm, nullptr, 0);
}

TEST_F(JournalX11, MouseAndKeysArriveAsTheyWereSent)
{
    CaptureWindow capture(100, 100, 500, 400);
    const JournalRecording rec = record(false,
        { { "mousemove", "150", "160" }, { "click", "1" }, { "mousemove", "420", "330" },
            { "click", "3" }, { "click", "4" }, { "click", "5" }, { "key", "a" },
            { "key", "shift+b" }, { "mousemove", "300", "200" }, { "mousedown", "2" },
            { "mousemove", "310", "210" }, { "mouseup", "2" } });
    EXPECT_FALSE(rec.keysOnly);
    capture.drain();
    const std::vector<Seen> sent = capture.events();
    ASSERT_GE(capture.keysAndButtons().size(), 14u) << describe(sent);

    warpPointer(5, 5);
    capture.drain();
    capture.clear();
    replay(journal.RecordFileName, false);
    ASSERT_TRUE(waitFinished());
    EXPECT_EQ(finished, std::vector<bool> { false });
    capture.drain();
    EXPECT_EQ(describe(capture.events()), describe(sent));

    // High speed sends the same events.
    warpPointer(5, 5);
    capture.drain();
    capture.clear();
    replay(journal.RecordFileName, true);
    ASSERT_TRUE(waitFinished(2));
    capture.drain();
    EXPECT_EQ(describe(capture.events()), describe(sent));
}

TEST_F(JournalX11, KeysOnlyRecordingIgnoresTheMouse)
{
    CaptureWindow capture(100, 100, 500, 400);
    const JournalRecording rec = record(true,
        { { "mousemove", "200", "200" }, { "click", "1" }, { "key", "x" }, { "click", "4" } });
    EXPECT_EQ(describe(rec.events),
        "K+" + std::to_string(keycodeOf("x")) + " K-" + std::to_string(keycodeOf("x")));

    warpPointer(450, 450);
    capture.drain();
    capture.clear();
    replay(journal.RecordFileName, true);
    ASSERT_TRUE(waitFinished());
    capture.drain();
    EXPECT_EQ(describe(capture.events()), describe(rec.events));
    int x = 0, y = 0;
    pointerPosition(x, y);
    EXPECT_EQ(x, 450);
    EXPECT_EQ(y, 450);
}

TEST_F(JournalX11, StopHotKeyIsLeftOutAndANewRecordingReplacesTheFile)
{
    bool stopKey = false;
    journal.OnStopKey = [&] { stopKey = true; };
    journal.RecordFileName = dir.file("hot.dat");
    journal.KeyStrokesOnly = true;
    journal.StartRecording();
    EXPECT_EQ(xdotool(journal, { "type", "ab" }), 0);
    EXPECT_EQ(xdotool(journal, { "key", "ctrl+shift+F12" }), 0);
    ASSERT_TRUE(pumpUntil(
        journal, [&] { return stopKey; }, 3000));
    journal.StopRecording();
    const unsigned a = keycodeOf("a"), b = keycodeOf("b");
    const std::string ab = "K+" + std::to_string(a) + " K-" + std::to_string(a) + " K+"
        + std::to_string(b) + " K-" + std::to_string(b);
    EXPECT_EQ(describe(loadJournal(journal.RecordFileName).recording.value().events), ab);
    pumpFor(journal, 20);
    EXPECT_EQ(finished, std::vector<bool> {}) << "only the end of a replay is reported";

    journal.RecordFileName = dir.file("gone.dat");
    journal.StartRecording();
    EXPECT_EQ(xdotool(journal, { "key", "d" }), 0);
    journal.discardRecording();
    EXPECT_FALSE(std::filesystem::exists(journal.RecordFileName));

    journal.RecordFileName = dir.file("hot.dat");
    journal.StartRecording();
    EXPECT_EQ(xdotool(journal, { "key", "c" }), 0);
    journal.StopRecording();
    const unsigned c = keycodeOf("c");
    EXPECT_EQ(describe(loadJournal(journal.RecordFileName).recording.value().events),
        "K+" + std::to_string(c) + " K-" + std::to_string(c));
}

TEST_F(JournalX11, OwnInputIsNotRecorded)
{
    CaptureWindow capture(100, 100, 300, 300);
    const unsigned x = keycodeOf("x"), y = keycodeOf("y"), z = keycodeOf("z");
    const std::string zFile = dir.file("z.dat");
    writeRecording(zFile, { key(true, int(z)), key(false, int(z)) });

    journal.RecordFileName = dir.file("own.dat");
    journal.KeyStrokesOnly = true;
    journal.StartRecording();
    journal.suspendCapture();
    typeKeyFromOtherClient(x);
    journal.resumeCapture();
    EXPECT_EQ(xdotool(journal, { "key", "y" }), 0);
    replay(zFile, true);
    ASSERT_TRUE(waitFinished());
    EXPECT_EQ(xdotool(journal, { "key", "y" }), 0);
    journal.StopRecording();

    const std::string yy = "K+" + std::to_string(y) + " K-" + std::to_string(y);
    EXPECT_EQ(
        describe(loadJournal(journal.RecordFileName).recording.value().events), yy + " " + yy);
    capture.drain();
    const std::string zz = "K+" + std::to_string(z) + " K-" + std::to_string(z);
    EXPECT_NE(describe(capture.keysAndButtons()).find(zz), std::string::npos);
}

std::vector<JournalEvent> slowTyping(unsigned code, int count, std::uint32_t gapMs)
{
    std::vector<JournalEvent> events;
    for (int i = 0; i < count; ++i) {
        events.push_back(key(true, int(code), gapMs));
        events.push_back(key(false, int(code), gapMs));
    }
    return events;
}

TEST_F(JournalX11, EscCancelsAndReleasesWhatTheReplayHolds)
{
    CaptureWindow capture(100, 100, 300, 300);
    const std::string path = dir.file("slow.dat");
    auto events = slowTyping(keycodeOf("a"), 100, 20);
    // Shift and a button go down at the start and would be released only at the very end.
    events.insert(events.begin(),
        { key(true, int(keycodeOf("Shift_L"))), motion(150, 150), button(true, 1, 150, 150) });
    events.push_back(button(false, 1, 150, 150));
    events.push_back(key(false, int(keycodeOf("Shift_L"))));
    writeRecording(path, events);

    replay(path, false);
    pumpFor(journal, 600);
    ASSERT_TRUE(journal.isPlayingBack());
    EXPECT_EQ(xdotool(journal, { "key", "Escape" }), 0);
    ASSERT_TRUE(waitFinished(1, 3000));
    EXPECT_EQ(finished, std::vector<bool> { true });
    pumpFor(journal, 200);
    EXPECT_EQ(finished.size(), 1u); // exactly once

    capture.drain();
    std::size_t keys = 0;
    for (const Seen &s : capture.events())
        if (s.type == Seen::KeyDown && s.code == keycodeOf("a"))
            ++keys;
    EXPECT_GT(keys, 5u);
    EXPECT_LT(keys, 90u);
    // The user's Esc went to the journal's grab, not to the target.
    for (const Seen &s : capture.events())
        EXPECT_NE(s.code, keycodeOf("Escape")) << describe(capture.events());
}

TEST_F(JournalX11, AnEscTheReplaySendsDoesNotCancel)
{
    CaptureWindow capture(100, 100, 300, 300);
    const int esc = int(keycodeOf("Escape")), b = int(keycodeOf("b"));
    const std::string path = dir.file("esc.dat");
    // The long hold makes the server repeat Esc on its own.
    writeRecording(path,
        { key(true, esc, 10), key(false, esc, 10), key(true, esc, 10), key(false, esc, 900),
            key(true, b, 10), key(false, b, 10) });
    for (const bool fast : { true, false }) {
        capture.clear();
        finished.clear();
        replay(path, fast);
        ASSERT_TRUE(waitFinished());
        EXPECT_EQ(finished, std::vector<bool> { false }) << (fast ? "fast" : "recorded speed");
        capture.drain();
        std::size_t escapes = 0;
        for (const Seen &s : capture.events())
            escapes += s.type == Seen::KeyDown && int(s.code) == esc;
        EXPECT_GE(escapes, 2u);
        const auto seen = capture.keysAndButtons();
        ASSERT_GE(seen.size(), 2u);
        EXPECT_EQ(describe(std::vector<Seen>(seen.end() - 2, seen.end())),
            "K+" + std::to_string(b) + " K-" + std::to_string(b));
    }
}

TEST_F(JournalX11, TheEndOfAReplayLeavesNothingDown)
{
    const std::string path = dir.file("held.dat");
    writeRecording(path,
        { key(true, int(keycodeOf("Control_L"))), key(true, int(keycodeOf("q"))), motion(200, 200),
            button(true, 3, 200, 200) });
    replay(path, true);
    ASSERT_TRUE(waitFinished());
    EXPECT_EQ(finished, std::vector<bool> { false });
    // TearDown checks the keyboard and the pointer.
}

struct BadFile
{
    const char *name;
    std::string content; // "-" for no file at all
};

class JournalX11BadFile : public JournalX11, public ::testing::WithParamInterface<BadFile>
{
};

TEST_P(JournalX11BadFile, SaysWhyAndSendsNothing)
{
    CaptureWindow capture(100, 100, 300, 300);
    const std::string path = dir.file("bad.dat");
    if (GetParam().content != "-")
        writeFile(path, GetParam().content);
    try {
        replay(path, false);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_FALSE(journal.isPlayingBack());
    pumpFor(journal, 200);
    EXPECT_TRUE(finished.empty());
    capture.drain();
    EXPECT_EQ(describe(capture.events()), "");
}

const std::string kValid = formatJournal(recordingOf({ key(true, 38, 5), key(false, 38, 5) }));

INSTANTIATE_TEST_SUITE_P(Files, JournalX11BadFile,
    ::testing::Values(BadFile { "Missing", "-" }, BadFile { "Empty", "" },
        BadFile { "Truncated", kValid.substr(0, kValid.size() - 4) },
        BadFile { "Corrupt", "QUORVEL-JOURNAL\nversion 1\nkeys-only 0\n0 K+ 38\nend 1\n" },
        BadFile { "Garbage", std::string(5000, '\xff') }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(JournalX11, ReplaysAskedForMeanwhileAreQueuedAndRunInOrder)
{
    CaptureWindow capture(100, 100, 300, 300);
    const unsigned a = keycodeOf("a"), b = keycodeOf("b");
    writeRecording(dir.file("a.dat"), slowTyping(a, 3, 30));
    writeRecording(dir.file("b.dat"), slowTyping(b, 3, 0));
    replay(dir.file("a.dat"), false);
    replay(dir.file("b.dat"), true);
    // A bad file fails at once rather than in its turn.
    EXPECT_THROW(replay(dir.file("missing.dat"), true), Error);
    EXPECT_EQ(journal.queuedPlayBacks(), 1u);
    ASSERT_TRUE(waitFinished(2));
    EXPECT_EQ(finished, (std::vector<bool> { false, false }));
    capture.drain();
    std::string order;
    for (const Seen &s : capture.events())
        if (s.type == Seen::KeyDown)
            order += s.code == a ? 'a' : s.code == b ? 'b' : '?';
    EXPECT_EQ(order, "aaabbb");
}

TEST_F(JournalX11, EscAlsoDropsTheQueuedReplays)
{
    writeRecording(dir.file("slow.dat"), slowTyping(keycodeOf("a"), 100, 20));
    replay(dir.file("slow.dat"), false);
    replay(dir.file("slow.dat"), false);
    pumpFor(journal, 300);
    EXPECT_EQ(xdotool(journal, { "key", "Escape" }), 0);
    ASSERT_TRUE(waitFinished(2, 3000));
    EXPECT_EQ(finished, (std::vector<bool> { true, true }));
    EXPECT_FALSE(journal.isPlayingBack());
}

struct HeldEscape
{
    const char *name;
    unsigned modifiers; // hotkeymod bits
    const char *chord; // for xdotool
};

class JournalX11HeldEscape : public JournalX11, public ::testing::WithParamInterface<HeldEscape>
{
};

// The application's own hot keys live on another connection of the same process: the
// journal's grab of that combination is refused, which must neither end the process nor
// take the combination from its holder, while the Esc still cancels through the stream.
TEST_P(JournalX11HeldEscape, TheHolderKeepsItAndTheReplayIsStillCancelled)
{
    x11::X11Backend backend;
    int presses = 0;
    const int id = backend.hotKeyRegistrar().registerHotKey(
        GetParam().modifiers, 0x1B, [&](unsigned, quorvel::KeyCode) { ++presses; });
    ASSERT_NE(id, 0);
    const auto pumpBoth = [&](const std::function<bool()> &done, int ms) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (!done() && Clock::now() < deadline) {
            journal.processEvents();
            backend.processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    };

    writeRecording(dir.file("slow.dat"), slowTyping(keycodeOf("a"), 100, 20));
    replay(dir.file("slow.dat"), false);
    pumpBoth([] { return false; }, 300);
    ASSERT_TRUE(journal.isPlayingBack());
    EXPECT_EQ(xdotool(journal, { "key", GetParam().chord }), 0);
    ASSERT_TRUE(pumpBoth([&] { return !finished.empty() && presses > 0; }, 3000))
        << "finished " << finished.size() << ", presses " << presses;
    EXPECT_EQ(finished, std::vector<bool> { true });
    EXPECT_EQ(presses, 1);
    backend.hotKeyRegistrar().unregisterHotKey(id);
}

INSTANTIATE_TEST_SUITE_P(Chords, JournalX11HeldEscape,
    ::testing::Values(HeldEscape { "Ctrl", hotkeymod::Control, "ctrl+Escape" },
        HeldEscape { "CtrlShift", hotkeymod::Control | hotkeymod::Shift, "ctrl+shift+Escape" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(JournalX11NoDisplay, RecordingAndReplayingThrow)
{
    X11Journal journal(":987");
    EXPECT_FALSE(journal.available());
    EXPECT_NE(journal.unavailableReason().find(":987"), std::string::npos);
    journal.RecordFileName = "/tmp/never.dat";
    EXPECT_THROW(journal.StartRecording(), Error);
    std::vector<bool> finished;
    journal.OnFinished = [&](bool userCancel) { finished.push_back(userCancel); };
    journal.PlayBackFileName = "/tmp/never.dat";
    EXPECT_THROW(journal.StartPlayBack(), Error);
    pumpFor(journal, 50);
    EXPECT_TRUE(finished.empty());
}

// A fresh install has no data folder until the first recording starts.
TEST_F(JournalX11, RecordingMakesAMissingFolderAndFailsAtTheStartWhereNoneCanBe)
{
    journal.RecordFileName = dir.file("no/such/folder/x.dat");
    journal.StartRecording();
    EXPECT_TRUE(journal.isRecording());
    journal.StopRecording();
    EXPECT_TRUE(loadJournal(journal.RecordFileName).recording);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(dir.file("no/such/folder").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    writeFile(dir.file("file"), "");
    journal.RecordFileName = dir.file("file/x.dat");
    EXPECT_THROW(journal.StartRecording(), Error);
    EXPECT_FALSE(journal.isRecording());
}

} // namespace
} // namespace quorvel
