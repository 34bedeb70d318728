// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingHarness.h"
#include "core/recording_events.h"
#include "fakes/TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace quorvel {
namespace {

using namespace quorvel::testing;

const std::string kCtl = std::string(QUORVEL_BINARY_DIR) + "/src/quorvelctl";

struct CtlResult
{
    int status = -1;
    std::string output;
};

CtlResult ctl(const TempDir &dir, const std::vector<std::string> &args, bool display = true)
{
    std::vector<std::string> argv { kCtl };
    if (!display)
        argv = { "env", "-u", "DISPLAY", kCtl };
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string log = dir.file("ctl.log");
    CtlResult r;
    r.status = waitExit(spawnLogged(argv, log), 20000);
    r.output = readFile(log);
    return r;
}

bool waitForText(const std::string &path, const std::string &text, int ms)
{
    for (int waited = 0; waited < ms; waited += 20) {
        if (readFile(path).find(text) != std::string::npos)
            return true;
        ::usleep(20000);
    }
    return false;
}

struct UsageCase
{
    const char *name;
    std::vector<std::string> args;
    int status;
    const char *output;
    bool display = true;
};

class QuorvelctlUsage : public ::testing::TestWithParam<UsageCase>
{
};

TEST_P(QuorvelctlUsage, AnswersClearly)
{
    TempDir dir;
    const CtlResult r = ctl(dir, GetParam().args, GetParam().display);
    EXPECT_EQ(r.status, GetParam().status) << r.output;
    EXPECT_NE(r.output.find(GetParam().output), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Cases, QuorvelctlUsage,
    ::testing::Values(
        UsageCase { "RecordHelp", { "record", "--help" }, 0, "Usage: quorvelctl record" },
        UsageCase { "ReplayHelp", { "replay", "--help" }, 0, "Usage: quorvelctl replay" },
        UsageCase { "RecordNoFile", { "record", "--keys-only" }, 2, "no FILE given" },
        UsageCase {
            "ReplayUnknownOption", { "replay", "--slow", "x" }, 2, "unknown option --slow" },
        UsageCase { "ReplayTwoFiles", { "replay", "a", "b" }, 2, "more than one FILE" },
        UsageCase {
            "ReplayMissingFile", { "replay", "/nonexistent/x.dat" }, 1, "/nonexistent/x.dat" },
        UsageCase {
            "RecordNoDisplay", { "record", "/tmp/x.dat" }, 1, "Cannot open the X display", false }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Quorvelctl, ReplayWithoutADisplayFailsClearly)
{
    TempDir dir;
    writeRecording(dir.file("k.dat"), { key(true, 38), key(false, 38) });
    const CtlResult r = ctl(dir, { "replay", dir.file("k.dat") }, false);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Cannot open the X display"), std::string::npos) << r.output;
}

TEST(Quorvelctl, RecordsUntilTheStopKeyAndReplaysIntoAWindow)
{
    TempDir dir;
    const std::string file = dir.file("ctl.dat");
    const std::string log = dir.file("record.log");
    const pid_t recorder = spawnLogged({ kCtl, "record", "--keys-only", file }, log);
    ASSERT_TRUE(waitForText(log, "press Ctrl+Shift+F12", 5000)) << readFile(log);
    ASSERT_EQ(run({ "xdotool", "type", "--delay", "10", "hi" }), 0);
    ASSERT_EQ(run({ "xdotool", "key", "ctrl+shift+F12" }), 0);
    ASSERT_EQ(waitExit(recorder, 5000), 0) << readFile(log);
    EXPECT_NE(readFile(log).find("Saved 4 events"), std::string::npos) << readFile(log);

    CaptureWindow capture(100, 100, 300, 300);
    const CtlResult replayed = ctl(dir, { "replay", "--fast", file });
    EXPECT_EQ(replayed.status, 0) << replayed.output;
    capture.drain();
    const std::string h = std::to_string(keycodeOf("h")), i = std::to_string(keycodeOf("i"));
    EXPECT_EQ(describe(capture.keysAndButtons()), "K+" + h + " K-" + h + " K+" + i + " K-" + i);
}

TEST(Quorvelctl, ReplayCancelledWithEscSaysSo)
{
    TempDir dir;
    std::vector<JournalEvent> events;
    for (int n = 0; n < 200; ++n) {
        events.push_back(key(true, int(keycodeOf("a")), 20));
        events.push_back(key(false, int(keycodeOf("a")), 20));
    }
    writeRecording(dir.file("slow.dat"), events);
    CaptureWindow capture(100, 100, 300, 300);
    const std::string log = dir.file("replay.log");
    const pid_t player = spawnLogged({ kCtl, "replay", dir.file("slow.dat") }, log);
    // Cancel once the replay is seen to run.
    for (int waited = 0; waited < 5000 && capture.keysAndButtons().empty(); waited += 20) {
        ::usleep(20000);
        capture.drain();
    }
    ASSERT_FALSE(capture.keysAndButtons().empty());
    ASSERT_EQ(run({ "xdotool", "key", "Escape" }), 0);
    EXPECT_EQ(waitExit(player, 5000), 3) << readFile(log);
    EXPECT_NE(readFile(log).find("cancelled"), std::string::npos);
    EXPECT_TRUE(nothingHeld());
}

} // namespace
} // namespace quorvel
