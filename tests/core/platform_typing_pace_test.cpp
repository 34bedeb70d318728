// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TypingPace.h"

#include <gtest/gtest.h>

namespace quorvel::testing {
namespace {

TEST(TypingPace, WaitsForALaggingReceiverButNotForAStoppedOne)
{
    // Queues of 100 bytes; marks at 50 and 25, a stall after 2 s.
    struct Step
    {
        int ms;
        std::vector<Backlog> queues; // queue, queued, limit
        bool wait;
    };
    const struct
    {
        const char *name;
        std::vector<Step> steps;
    } cases[] = {
        { "below the high mark", { { 0, { { 1, 50, 100 }, { 2, 10, 100 } }, false } } },
        { "until it is below the low mark",
            { { 0, { { 1, 60, 100 } }, true }, { 1, { { 1, 40, 100 } }, true },
                { 2, { { 1, 25, 100 } }, false }, { 3, { { 1, 40, 100 } }, false } } },
        { "for as long as it drains",
            { { 0, { { 1, 90, 100 } }, true }, { 1500, { { 1, 80, 100 } }, true },
                { 3000, { { 1, 70, 100 } }, true }, { 4000, { { 1, 70, 100 } }, true } } },
        { "a stopped receiver once, until it has drained",
            { { 0, { { 1, 60, 100 } }, true }, { 1999, { { 1, 60, 100 } }, true },
                { 2000, { { 1, 61, 100 } }, false }, { 5000, { { 1, 90, 100 } }, false },
                { 5001, { { 1, 20, 100 } }, false }, { 5002, { { 1, 60, 100 } }, true } } },
        { "another receiver beside a stopped one",
            { { 0, { { 1, 60, 100 } }, true }, { 2000, { { 1, 60, 100 } }, false },
                { 2001, { { 1, 60, 100 }, { 2, 70, 100 } }, true } } },
        { "a queue gone with its receiver",
            { { 0, { { 1, 60, 100 } }, true }, { 1, {}, false },
                { 2, { { 1, 40, 100 } }, false } } },
        { "a queue of no known size", { { 0, { { 1, 60, 0 } }, false } } },
    };
    for (const auto &c : cases) {
        TypingPace pace({ 0.5, 0.25, std::chrono::seconds(2) });
        const TypingPace::Clock::time_point start;
        for (const Step &step : c.steps) {
            EXPECT_EQ(
                pace.mustWait(step.queues, start + std::chrono::milliseconds(step.ms)), step.wait)
                << c.name << " at " << step.ms << " ms";
        }
    }
}

} // namespace
} // namespace quorvel::testing
