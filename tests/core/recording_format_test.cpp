// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "fakes/TestSupport.h"
#include "recording/JournalFile.h"
#include "recording_events.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace quorvel {
namespace {

using testing::button;
using testing::key;
using testing::motion;

JournalRecording sample()
{
    JournalRecording r;
    r.events = {
        motion(-32768, 32767, 0),
        key(true, 38, 12, 0x61),
        key(false, 38, kMaxJournalDelayMs, 0x61),
        button(true, 1, 5, 6, 3),
        button(false, 255, 5, 6),
        key(true, 255, 0, 0),
        key(false, 8, 1, 0xffffffff),
    };
    return r;
}

const std::string kHeader = "QUORVEL-JOURNAL\nversion 1\nkeys-only 0\n";

TEST(RecordingFormat, RoundTripsEveryKindOfEventAndTheFlag)
{
    for (const bool keysOnly : { false, true }) {
        JournalRecording r = sample();
        r.keysOnly = keysOnly;
        const JournalParseResult parsed = parseJournal(formatJournal(r));
        ASSERT_TRUE(parsed.recording) << parsed.error;
        EXPECT_EQ(*parsed.recording, r);
    }
}

TEST(RecordingFormat, AcceptsCrLfAndExtraBlanks)
{
    const auto parsed = parseJournal("QUORVEL-JOURNAL\r\nversion 1\r\nkeys-only 1\r\n"
                                     "  5\tK+  38 0x61 \r\n7 M 1 2\r\nend 2\r\n");
    ASSERT_TRUE(parsed.recording) << parsed.error;
    EXPECT_TRUE(parsed.recording->keysOnly);
    EXPECT_EQ(testing::describe(parsed.recording->events), "K+38 M1,2");
    EXPECT_EQ(testing::delays(parsed.recording->events), (std::vector<std::uint32_t> { 5, 7 }));
}

struct BadFile
{
    const char *name;
    std::string text;
};

class RecordingFormatRejects : public ::testing::TestWithParam<BadFile>
{
};

TEST_P(RecordingFormatRejects, TheWholeFile)
{
    const auto parsed = parseJournal(GetParam().text);
    EXPECT_FALSE(parsed.recording);
    EXPECT_FALSE(parsed.error.empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, RecordingFormatRejects,
    ::testing::Values(BadFile { "Empty", "" }, BadFile { "MagicOnly", "QUORVEL-JOURNAL\n" },
        BadFile { "WrongMagic", "QUORVEL-JOURNAL2\nversion 1\nkeys-only 0\nend 0\n" },
        BadFile { "LaterVersion", "QUORVEL-JOURNAL\nversion 2\nkeys-only 0\nend 0\n" },
        BadFile { "NoVersion", "QUORVEL-JOURNAL\nkeys-only 0\nend 0\n" },
        BadFile { "BadFlag", "QUORVEL-JOURNAL\nversion 1\nkeys-only 2\nend 0\n" },
        BadFile { "NoEnd", kHeader + "0 K+ 38 0x61\n" },
        BadFile { "CountTooHigh", kHeader + "0 K+ 38 0x61\nend 2\n" },
        BadFile { "CountTooLow", kHeader + "0 K+ 38 0x61\nend 0\n" },
        BadFile { "CutMidLine", kHeader + "0 K+ 38 0x61\nend 1" },
        BadFile { "TextAfterEnd", kHeader + "end 0\n0 M 1 1\n" },
        BadFile { "UnknownOp", kHeader + "0 X 1 1\nend 1\n" },
        BadFile { "KeycodeTooLow", kHeader + "0 K+ 7 0x0\nend 1\n" },
        BadFile { "KeycodeTooHigh", kHeader + "0 K+ 256 0x0\nend 1\n" },
        BadFile { "ButtonZero", kHeader + "0 B+ 0 1 1\nend 1\n" },
        BadFile { "CoordinateTooLarge", kHeader + "0 M 32768 0\nend 1\n" },
        BadFile { "NegativeDelay", kHeader + "-1 M 0 0\nend 1\n" },
        BadFile { "DelayTooLarge", kHeader + "2147483648 M 0 0\nend 1\n" },
        BadFile { "KeysymNotHex", kHeader + "0 K+ 38 97\nend 1\n" },
        BadFile { "KeysymTooLong", kHeader + "0 K+ 38 0x123456789\nend 1\n" },
        BadFile { "MissingField", kHeader + "0 B+ 1 1\nend 1\n" },
        BadFile { "ExtraField", kHeader + "0 M 1 1 1\nend 1\n" },
        BadFile { "TrailingGarbageInNumber", kHeader + "0 M 1x 1\nend 1\n" },
        BadFile { "NulByte", kHeader + std::string("0 M 1 1\0\nend 1\n", 15) },
        BadFile { "Binary",
            std::string("\x7f"
                        "ELF\x02\x01\x01\0\0\0\n",
                11) }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RecordingFormat, EveryTruncationOfAFileIsRejected)
{
    const std::string text = formatJournal(sample());
    for (std::size_t size = 0; size < text.size(); ++size)
        EXPECT_FALSE(parseJournal(text.substr(0, size)).recording) << "size " << size;
    EXPECT_TRUE(parseJournal(text).recording);
}

TEST(RecordingFormat, SurvivesRandomDamage)
{
    const std::string text = formatJournal(sample());
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = text;
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i)
            damaged[random() % damaged.size()] = char(random() % 256);
        const auto parsed = parseJournal(damaged); // must neither crash nor hang
        if (parsed.recording) {
            EXPECT_LE(parsed.recording->events.size(), sample().events.size() + 1);
        }
    }
}

TEST(RecordingFile, LoadReportsMissingAndNonRegularFiles)
{
    testing::TempDir dir;
    for (const std::string &path : { dir.file("absent.dat"), dir.path() }) {
        const auto loaded = loadJournal(path);
        EXPECT_FALSE(loaded.recording);
        EXPECT_NE(loaded.error.find(path), std::string::npos) << loaded.error;
    }
}

TEST(RecordingFile, SaveReplacesTheEarlierContentWholePrivatelyAndLeavesNoTemporaryFile)
{
    testing::TempDir dir;
    const std::string path = dir.file("Mail macro.dat");
    testing::writeFile(path, "earlier content that is longer than the new recording\n");
    ::chmod(path.c_str(), 0640);

    JournalRecording r;
    r.events = { key(true, 38, 5, 0x61), key(false, 38, 6, 0x61) };
    saveJournal(path, r);

    const auto loaded = loadJournal(path);
    ASSERT_TRUE(loaded.recording) << loaded.error;
    EXPECT_EQ(*loaded.recording, r);
    struct stat st
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "recordings hold keystrokes";
    int entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(RecordingFile, SaveWhereNoFolderCanBeMadeThrowsAndWritesNothing)
{
    testing::TempDir dir;
    testing::writeFile(dir.file("file"), "");
    const std::string path = dir.file("file/x.dat");
    EXPECT_THROW(saveJournal(path, sample()), Error);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_THROW(saveJournal("", sample()), Error);
}

} // namespace
} // namespace quorvel
