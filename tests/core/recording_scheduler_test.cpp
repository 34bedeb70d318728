// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/ReplayScheduler.h"
#include "recording_events.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

using testing::button;
using testing::describe;
using testing::key;
using testing::motion;

constexpr std::int64_t ms = 1000;

std::string take(ReplayScheduler &s, std::int64_t nowUs, std::size_t max = 1000)
{
    std::vector<JournalEvent> out;
    s.takeDue(nowUs, max, out);
    return describe(out);
}

TEST(ReplayScheduler, RecordedSpeedKeepsEachEventAtItsRecordedOffset)
{
    ReplayScheduler s(
        { key(true, 10, 5), key(false, 10, 10), key(true, 11, 0), key(false, 11, 20) }, false);
    s.start(1000 * ms);
    EXPECT_EQ(s.nextDueUs(), 1005 * ms);
    EXPECT_EQ(take(s, 1004 * ms), "");
    EXPECT_EQ(take(s, 1005 * ms), "K+10");
    EXPECT_EQ(s.nextDueUs(), 1015 * ms);
    // A little late: both due events go at once and the schedule does not move.
    EXPECT_EQ(take(s, 1030 * ms), "K-10 K+11");
    EXPECT_EQ(s.nextDueUs(), 1035 * ms);
    EXPECT_EQ(take(s, 1035 * ms), "K-11");
    EXPECT_TRUE(s.atEnd());
}

TEST(ReplayScheduler, AStallMovesTheRestOfTheSchedule)
{
    ReplayScheduler s({ key(true, 10, 0), key(false, 10, 10), key(true, 11, 30) }, false);
    s.start(0);
    EXPECT_EQ(take(s, 0), "K+10");
    const std::int64_t late = 10 * ms + ReplayScheduler::kSlipUs + 1;
    EXPECT_EQ(take(s, late), "K-10");
    EXPECT_EQ(s.nextDueUs(), late + 30 * ms); // the recorded gap is kept after the stall
}

TEST(ReplayScheduler, HighSpeedHandsOutEverythingInOrderInBatches)
{
    std::vector<JournalEvent> events;
    for (int i = 0; i < 10; ++i) {
        events.push_back(key(true, 20 + i, 1000));
        events.push_back(key(false, 20 + i, 1000));
    }
    ReplayScheduler s(events, true);
    s.start(0);
    std::vector<JournalEvent> out;
    EXPECT_EQ(s.takeDue(0, 8, out), 8u);
    EXPECT_EQ(s.takeDue(0, 8, out), 8u);
    EXPECT_EQ(s.takeDue(0, 8, out), 4u);
    EXPECT_TRUE(s.atEnd());
    EXPECT_EQ(describe(out), describe(events));
}

TEST(ReplayScheduler, RecordedRepeatsAreLeftToTheServerOnlyAtRecordedSpeed)
{
    const std::vector<JournalEvent> held = { key(true, 38, 0), key(true, 38, 0), key(true, 38, 0),
        key(false, 38, 0) };
    for (const bool fast : { false, true }) {
        ReplayScheduler s(held, fast);
        s.start(0);
        EXPECT_EQ(take(s, 0), fast ? "K+38 K+38 K+38 K-38" : "K+38 K-38");
    }
}

TEST(ReplayScheduler, DropsReleasesOfWhatItDoesNotHold)
{
    ReplayScheduler s(
        { key(false, 38), button(false, 1, 0, 0), key(true, 40, 0, 0x62), key(false, 40, 0, 0x99) },
        true);
    s.start(0);
    std::vector<JournalEvent> out;
    s.takeDue(0, 100, out);
    EXPECT_EQ(describe(out), "K+40 K-40");
    EXPECT_EQ(out[1].keysym, 0x62u); // released as it was pressed
}

TEST(ReplayScheduler, MovesThePointerBeforeAButtonWhenItIsElsewhere)
{
    ReplayScheduler s({ button(true, 1, 5, 5), button(false, 1, 5, 5), motion(7, 7),
                          button(true, 3, 7, 7), button(false, 3, 9, 9) },
        true);
    s.start(0);
    EXPECT_EQ(take(s, 0), "M5,5 B+1@5,5 B-1@5,5 M7,7 B+3@7,7 M9,9 B-3@9,9");
}

TEST(ReplayScheduler, ReleasesWhatIsHeldWhenCancelled)
{
    ReplayScheduler s({ key(true, 50), key(true, 38), motion(3, 4), button(true, 2, 3, 4),
                          key(false, 38), key(false, 50) },
        true);
    s.start(0);
    EXPECT_EQ(take(s, 0, 4), "K+50 K+38 M3,4 B+2@3,4");
    s.cancel();
    EXPECT_TRUE(s.atEnd());
    EXPECT_EQ(take(s, 0), "");
    EXPECT_EQ(describe(s.releaseHeld()), "K-38 K-50 B-2@3,4");
    EXPECT_EQ(describe(s.releaseHeld()), "");
}

} // namespace
} // namespace quorvel
