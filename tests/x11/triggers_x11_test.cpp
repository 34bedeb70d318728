// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestSupport.h"
#include "triggers/TriggerScan.h"

#include <gtest/gtest.h>
#include <thread>

namespace quorvel::testing {
namespace {

// The scan on the real window system, its runs going to the runner.
struct TriggerRig : X11Rig
{
    std::vector<int> runs;
    TriggerScan scan { catalogue, backend.windowSystem(), pump, [this](int n) {
                          runs.push_back(n);
                          runner.ProcessHotKey(n);
                      } };
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            scan.Timer1Timer();
            pumpFor(20ms);
        }
    }
};

TEST(TriggersOnX11, FireOncePerWindowAgainForANewOneAndForAMinimizedOne)
{
    TriggerRig rig;
    rig.addAdvanced("Greet", "greeted<<ENTER>>", 0, "  trigger TARGET ");
    rig.ticks(2);
    EXPECT_TRUE(rig.runs.empty());

    {
        // The window that appears gets the focus, so the macro types into it.
        TypingTarget target("Trigger Target");
        rig.ticks(1);
        EXPECT_EQ(rig.runs, (std::vector<int> { 1 }));
        EXPECT_EQ(target.waitForLine(), "greeted\n");
        rig.ticks(5);
        EXPECT_EQ(rig.runs.size(), 1u);
    }
    // Closed and opened again (the server may well hand out the same window id): fires again.
    waitUntil([&] { return rig.backend.windowSystem().findWindow("Trigger Target") == 0; });
    TypingTarget again("Trigger Target");
    rig.ticks(1);
    EXPECT_EQ(rig.runs, (std::vector<int> { 1, 1 }));
    EXPECT_EQ(again.waitForLine(), "greeted\n");

    // A minimized window of that title counts as shown: it fires too, once.
    Xterm minimized("Trigger Target", { "sleep", "60" }, XtermOptions { true });
    rig.ticks(3);
    EXPECT_EQ(rig.runs, (std::vector<int> { 1, 1, 1 }));
}

TEST(TriggersOnX11, LookForReturnsAsSoonAsTheWindowAppears)
{
    X11Rig rig;
    const auto start = std::chrono::steady_clock::now();
    Child late({ "sh", "-c", "sleep 1; exec xterm -T 'Late Window' -e sleep 30" });
    rig.runner.WaitForWindow("late window", true, 10);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 900ms);
    EXPECT_LT(waited, 4s);
    EXPECT_NE(rig.backend.windowSystem().findWindow("Late Window"), 0u);
}

TEST(TriggersOnX11, FocusActivatesTheRightOneOfTwoAndTypesIntoIt)
{
    X11Rig rig;
    TypingTarget left("Left Pane");
    TypingTarget right("Right Pane");
    rig.runner.SendKeys(std::string("<<FOCUS:left pane>>into left<<ENTER>>"));
    EXPECT_EQ(activeWindow(), left.window());
    rig.runner.SendKeys(std::string("<<FOCUS:Right Pane>>into right<<ENTER>>"));
    EXPECT_EQ(activeWindow(), right.window());
    EXPECT_EQ(left.waitForLine(), "into left\n");
    EXPECT_EQ(right.waitForLine(), "into right\n");
    // No such window: nothing happens and the text goes on where the focus is.
    rig.runner.SendKeys(std::string("<<FOCUS:Nowhere>>"));
    EXPECT_EQ(activeWindow(), right.window());
}

} // namespace
} // namespace quorvel::testing
