// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowParts.h"
#include "fakes/ConflictsRig.h"
#include "fakes/FakeViews.h"
#include "mainwindow/MainWindowModel.h"

#include <gtest/gtest.h>
#include <set>

namespace quorvel::testing {
namespace {

class MainWindowConflicts : public Conflicts, public MainWindowParts
{
protected:
    MainWindowConflicts()
        : MainWindowParts(catalogue)
    {
    }

    void load(std::set<int> refused)
    {
        store.writeInteger("Main", "Entries", 101);
        services.refused = std::move(refused);
        show();
    }
};

TEST_F(MainWindowConflicts, RefusedRowsAreGreyedWithWhoHoldsTheKey)
{
    load({ 2, 3, 4 });
    ASSERT_EQ(view.rows.size(), 101u);
    struct Row
    {
        int n;
        bool refused;
        const char *tip;
    };
    const Row rows[] = {
        { 1, false, "" },
        { 2, true, "Another program holds Ctrl+Alt+N; Quorvel cannot use it." },
        { 3, true, "Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number keeps it." },
        { 4, true, "The stop-recording key held Shift+Ctrl+F12 when the hot keys were bound." },
        { 5, false, "" },
        // Not refused by the platform: Mail's key is taken in ascending order, so a slot that
        // bound it is not in conflict whatever the catalogue says.
        { 6, false, "" },
        { 101, true,
            "Only macros 1 to 100 can have a hot key; Ctrl+Alt+B will not start this one (macro "
            "101)." },
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.n);
        const auto &row = view.rows[std::size_t(r.n - 1)];
        EXPECT_EQ(row.hotKeyRefused, r.refused);
        EXPECT_EQ(row.hotKeyTip, r.tip);
    }

    view.selected = 2;
    model.lvMacroClick();
    EXPECT_EQ(view.status,
        "Mail2 - Advanced Macro - Ctrl+Alt+M is the hot key of Mail (macro 1); the lower number "
        "keeps it.");
    view.selected = 0;
    model.lvMacroKeyUp();
    EXPECT_EQ(view.status, "Mail - Advanced Macro");
}

TEST_F(MainWindowConflicts, ALowerHolderRefusedItselfHandsOnItsReason)
{
    load({ 1, 3, 6 });
    EXPECT_EQ(view.rows[0].hotKeyTip, "Another program holds Ctrl+Alt+M; Quorvel cannot use it.");
    EXPECT_EQ(view.rows[2].hotKeyTip, view.rows[0].hotKeyTip);
    EXPECT_EQ(view.rows[5].hotKeyTip, view.rows[0].hotKeyTip);
}

} // namespace
} // namespace quorvel::testing
