// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "editing/MacroCheckModel.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/TestSupport.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::TempDir;

namespace {

struct CheckModelRig
{
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
    quorvel::testing::FakeDateTimeFormatter dateTime;
    MacroCheckModel model { MacroCheckModel::Deps { catalogue, dir.path() + "/", dateTime } };
};

TEST(MacroCheckModel, TellsEachFindingByLineAndColumn)
{
    CheckModelRig rig;
    rig.model.setText("ok\n<<FOO>> <<RUN:Nobody>>");
    rig.model.check();
    EXPECT_EQ(rig.model.findingsText(),
        "Line 2, column 1: unknown token \"<<FOO>>\": the run drops \"<<\" and types \"FOO>>\"\n"
        "Line 2, column 9: no macro is named \"Nobody\": \"<<RUN:\" runs nothing");
    rig.model.setText("ok");
    rig.model.check();
    EXPECT_EQ(rig.model.findingsText(), MacroCheckModel::NoFindings);
}

TEST(MacroCheckModel, ANewMacroIsKnownByItsNameAndTheSeparatorIsTheSetting)
{
    CheckModelRig rig;
    rig.store.writeString(settings::Main, settings::WaitForSeparator, "##");
    rig.model.setMacro(0, "Self");
    rig.model.setText("<<RUN:self>><<LOOKFOR:Calc##SECS:5>>");
    rig.model.check();
    ASSERT_EQ(rig.model.findings().size(), 1u);
    EXPECT_EQ(rig.model.findings()[0].kind, FindingKind::RunCycle);
}

TEST(MacroCheckModel, AnEditIsCheckedOnceTheTypingPauses)
{
    CheckModelRig rig;
    EXPECT_FALSE(rig.model.pauseEnded()) << "nothing typed, nothing to check";
    EXPECT_TRUE(rig.model.edit("<<FOO>>"));
    EXPECT_EQ(rig.model.findingsText(), MacroCheckModel::NoFindings) << "not before the pause";
    EXPECT_FALSE(rig.model.edit("<<FOO>>")) << "the same text is no edit";
    EXPECT_TRUE(rig.model.pauseEnded());
    EXPECT_EQ(rig.model.findings().size(), 1u);
    EXPECT_FALSE(rig.model.checkDue());
    EXPECT_FALSE(rig.model.pauseEnded()) << "checked once";
    rig.model.edit("ok");
    rig.model.check();
    EXPECT_FALSE(rig.model.pauseEnded()) << "a check now leaves none due";
}

TEST(MacroCheckModel, DryRunTellsTheStepsUntilTheTextChanges)
{
    CheckModelRig rig;
    EXPECT_EQ(rig.model.dryRunText(), "");
    rig.model.setText("Hi<<ENTER>><<SHORTDATE>>");
    rig.model.dryRun();
    EXPECT_EQ(rig.model.dryRunText(), "type: Hi\nEnter\ntype: 12/7/2026");
    rig.model.setText("Hi<<ENTER>><<SHORTDATE>>");
    EXPECT_EQ(rig.model.dryRunText(), "type: Hi\nEnter\ntype: 12/7/2026");
    rig.model.setText("Hi");
    EXPECT_EQ(rig.model.dryRunText(), MacroCheckModel::DryRunStale);
    rig.model.setText("   ");
    rig.model.dryRun();
    EXPECT_EQ(rig.model.dryRunText(), "Nothing: the text types no key and runs no command.");
}

} // namespace

TEST(MacroCheckModel, AFailingCheckIsToldWhereTheFindingsGo)
{
    CheckModelRig rig;
    rig.model.setText("<<LOOKFOR:x~~SECS:");
    EXPECT_NO_THROW(rig.model.check());
    EXPECT_FALSE(rig.model.findingsText().empty());
}
