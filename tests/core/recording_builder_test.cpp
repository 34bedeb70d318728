// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/RecordingBuilder.h"
#include "recording_events.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

constexpr int kCtrl = 37, kShift = 50, kF12 = 96, kA = 38, kT = 28;

KeyTable table()
{
    KeyTable t;
    t.roles[kCtrl] = KeyRole::Control;
    t.roles[105] = KeyRole::Control;
    t.roles[kShift] = KeyRole::Shift;
    t.roles[kF12] = KeyRole::StopKey;
    t.keysyms[kA] = 0x61;
    return t;
}

CapturedEvent ev(JournalEventType type, int code, std::uint32_t time, int x = 0, int y = 0)
{
    CapturedEvent e;
    e.type = type;
    e.code = std::uint8_t(code);
    e.time = time;
    e.x = std::int16_t(x);
    e.y = std::int16_t(y);
    return e;
}
CapturedEvent down(int code, std::uint32_t time = 0)
{
    return ev(JournalEventType::KeyPress, code, time);
}
CapturedEvent up(int code, std::uint32_t time = 0)
{
    return ev(JournalEventType::KeyRelease, code, time);
}
CapturedEvent move(int x, int y, std::uint32_t time = 0)
{
    return ev(JournalEventType::Motion, 0, time, x, y);
}
CapturedEvent click(bool press, int b, int x, int y, std::uint32_t time = 0)
{
    return ev(
        press ? JournalEventType::ButtonPress : JournalEventType::ButtonRelease, b, time, x, y);
}

TEST(RecordingBuilder, StoresGapsBetweenKeptEventsFromTheStartAcrossTheClockWrap)
{
    RecordingBuilder b(true, table());
    b.start(0xffffff00u);
    b.add(down(kA, 0xffffff10u));
    b.add(move(1, 1, 0xffffff20u)); // keys only: neither kept nor counted
    b.add(up(kA, 0x10u));
    b.add(down(kA, 0x05u)); // the clock stepped back
    b.add(up(kA, 0x07u));
    const JournalRecording r = b.finish();
    EXPECT_TRUE(r.keysOnly);
    EXPECT_EQ(testing::describe(r.events), "K+38 K-38 K+38 K-38");
    EXPECT_EQ(testing::delays(r.events), (std::vector<std::uint32_t> { 0x10, 0x100, 0, 2 }));
    EXPECT_EQ(r.events[0].keysym, 0x61u);
}

TEST(RecordingBuilder, KeepsTheMouseUnlessKeysOnly)
{
    for (const bool keysOnly : { false, true }) {
        RecordingBuilder b(keysOnly, table());
        b.start(0);
        b.add(move(10, 20, 1));
        b.add(click(true, 1, 10, 20, 2));
        b.add(click(false, 1, 10, 20, 3));
        b.add(click(true, 4, 10, 20, 4));
        b.add(click(false, 4, 10, 20, 4));
        b.add(down(kA, 5));
        b.add(up(kA, 6));
        EXPECT_EQ(testing::describe(b.finish().events),
            keysOnly ? "K+38 K-38" : "M10,20 B+1@10,20 B-1@10,20 B+4@10,20 B-4@10,20 K+38 K-38");
    }
}

TEST(RecordingBuilder, IgnoresEventsBeforeTheStartAndReleasesOfEarlierPresses)
{
    RecordingBuilder b(false, table());
    b.add(down(kA, 1)); // before start
    b.start(10);
    b.add(up(kA, 11)); // the press was not recorded
    b.add(click(false, 1, 0, 0, 12)); // nor was this button's
    b.add(down(kT, 13));
    b.add(up(kT, 14));
    EXPECT_EQ(testing::describe(b.finish().events), "K+28 K-28");
}

TEST(RecordingBuilder, ClosesWithReleasesOfWhatIsStillHeld)
{
    RecordingBuilder b(false, table());
    b.start(0);
    b.add(down(kA, 1));
    b.add(click(true, 3, 7, 8, 2));
    b.add(move(9, 9, 3));
    EXPECT_EQ(testing::describe(b.finish().events), "K+38 B+3@7,8 M9,9 K-38 B-3@9,9");
}

struct StopCase
{
    const char *name;
    std::vector<CapturedEvent> input;
    std::string expected;
    bool stops = true;
};

class RecordingBuilderStop : public ::testing::TestWithParam<StopCase>
{
};

TEST_P(RecordingBuilderStop, LeavesTheCombinationOut)
{
    RecordingBuilder b(false, table());
    b.start(0);
    int stops = 0;
    for (const CapturedEvent &e : GetParam().input)
        stops += b.add(e) ? 1 : 0;
    EXPECT_EQ(stops, GetParam().stops ? 1 : 0);
    EXPECT_EQ(b.stopped(), GetParam().stops);
    EXPECT_EQ(testing::describe(b.finish().events), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordingBuilderStop,
    ::testing::Values(StopCase { "AfterTyping",
                          { down(kA), up(kA), down(kCtrl), down(kShift), down(kF12), up(kF12),
                              up(kShift), up(kCtrl), down(kA) },
                          "K+38 K-38" },
        StopCase { "ShiftFirstWithMotionBetween",
            { move(1, 1), down(kShift), move(2, 2), down(105), down(kF12) }, "M1,1 M2,2" },
        StopCase { "ModifiersUsedForAnotherKeyStay",
            { down(kCtrl), down(kShift), down(kT), up(kT), down(kF12) },
            "K+37 K+50 K+28 K-28 K-37 K-50" },
        StopCase { "AnEarlierCtrlTapStays",
            { down(kCtrl), up(kCtrl), down(kCtrl), down(kShift), down(kF12) }, "K+37 K-37" },
        StopCase { "F12AloneIsRecorded", { down(kF12), up(kF12) }, "K+96 K-96", false },
        StopCase { "CtrlF12IsRecorded", { down(kCtrl), down(kF12), up(kF12), up(kCtrl) },
            "K+37 K+96 K-96 K-37", false },
        StopCase { "AButtonHeldIsReleased",
            { click(true, 1, 4, 4), down(kCtrl), down(kShift), down(kF12) }, "B+1@4,4 B-1@4,4" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RecordingBuilder, ADroppedModifierPassesItsGapOn)
{
    RecordingBuilder b(false, table());
    b.start(0);
    b.add(down(kA, 10));
    b.add(up(kA, 20));
    b.add(down(kCtrl, 100));
    b.add(move(5, 5, 130));
    b.add(down(kShift, 150));
    b.add(down(kF12, 160));
    const JournalRecording r = b.finish();
    EXPECT_EQ(testing::describe(r.events), "K+38 K-38 M5,5");
    EXPECT_EQ(testing::delays(r.events), (std::vector<std::uint32_t> { 10, 10, 110 }));
}

} // namespace
} // namespace quorvel
