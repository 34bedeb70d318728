// SPDX-License-Identifier: GPL-3.0-or-later
#include "WizardRig.h"
#include "catalogue/Catalogue.h"
#include "editing/HintShower.h"
#include "editing/MacroCheckModel.h"
#include "editing/forms/MacroHighlighter.h"
#include "editing/forms/TfrmWizard.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeJournal.h"
#include "fakes/TestSupport.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::control;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

class MacroCheckForm : public ::testing::Test, protected quorvel::testing::WizardRig
{
protected:
    quorvel::testing::FakeDateTimeFormatter dateTime;
    MacroCheckModel check { MacroCheckModel::Deps { catalogue, dir.path() + "/", dateTime } };
    TfrmWizard form { model };

    MacroHighlighter *highlighter() const
    {
        return control<QPlainTextEdit>(form, "mmoManKeys")
            ->document()
            ->findChild<MacroHighlighter *>();
    }

    void SetUp() override
    {
        form.setCheckModel(check);
        model.openForEdit("", [](const std::string &) {});
    }
};

TEST_F(MacroCheckForm, PanelsHaveTheirNamesAndAreReadOnly)
{
    EXPECT_EQ(control<QPlainTextEdit>(form, "mmoCheck")->accessibleName(), "Macro Check");
    EXPECT_EQ(control<QPlainTextEdit>(form, "mmoDryRun")->accessibleName(), "Dry Run");
    EXPECT_EQ(control<QPushButton>(form, "cmdDryRun")->accessibleName(), "Dry Run");
    EXPECT_TRUE(control<QPlainTextEdit>(form, "mmoCheck")->isReadOnly());
    EXPECT_TRUE(control<QPlainTextEdit>(form, "mmoDryRun")->isReadOnly());
    EXPECT_EQ(
        control<QPlainTextEdit>(form, "mmoCheck")->toPlainText(), MacroCheckModel::NoFindings);
}

TEST_F(MacroCheckForm, FindingsFollowTheTypingAfterAPause)
{
    form.show();
    control<QPlainTextEdit>(form, "mmoManKeys")->setFocus();
    QTest::keyClicks(control<QPlainTextEdit>(form, "mmoManKeys"), "ab<<FOO>>");
    // Not yet: the check waits for the typing to pause.
    EXPECT_EQ(
        control<QPlainTextEdit>(form, "mmoCheck")->toPlainText(), MacroCheckModel::NoFindings);
    EXPECT_TRUE(check.checkDue());
    QTRY_COMPARE_WITH_TIMEOUT(control<QPlainTextEdit>(form, "mmoCheck")->toPlainText(),
        QString("Line 1, column 3: unknown token \"<<FOO>>\": the run drops \"<<\" and types "
                "\"FOO>>\""),
        2000);
    EXPECT_TRUE(highlighter()->marks(2, SpanKind::Unknown));
    EXPECT_FALSE(highlighter()->marks(1, SpanKind::Unknown));

    control<QPlainTextEdit>(form, "mmoManKeys")->setPlainText("<<CTRL>><<F4>><<SECS5>>");
    QTRY_COMPARE_WITH_TIMEOUT(control<QPlainTextEdit>(form, "mmoCheck")->toPlainText(),
        QString(MacroCheckModel::NoFindings), 2000);
    EXPECT_TRUE(highlighter()->marks(0, SpanKind::Modifier));
    EXPECT_TRUE(highlighter()->marks(8, SpanKind::Key));
    EXPECT_TRUE(highlighter()->marks(14, SpanKind::Command));
    // The marks are there as formats of the text.
    const auto formats =
        control<QPlainTextEdit>(form, "mmoManKeys")->document()->firstBlock().layout()->formats();
    EXPECT_GE(formats.size(), 3);
}

TEST_F(MacroCheckForm, DryRunShowsTheStepsAndGoesStaleWithTheText)
{
    control<QPlainTextEdit>(form, "mmoManKeys")
        ->setPlainText("<<CTRL>><<F4>>Hi<<SECS5>><<INPUT:Your name?>>");
    control<QPushButton>(form, "cmdDryRun")->click();
    EXPECT_EQ(control<QPlainTextEdit>(form, "mmoDryRun")->toPlainText(),
        "Ctrl+F4\ntype: Hi\nwait 5 s\nask: Your name?");
    control<QPlainTextEdit>(form, "mmoManKeys")->appendPlainText("x");
    EXPECT_EQ(
        control<QPlainTextEdit>(form, "mmoDryRun")->toPlainText(), MacroCheckModel::DryRunStale);
}

TEST_F(MacroCheckForm, EditModeChecksRunsAgainstTheRecordBeingEdited)
{
    writeFile(dir.file("A.key"), "<<RUN:B>>");
    writeFile(dir.file("B.key"), "<<RUN:A>>");
    const int a = catalogue.append(MacroRecord { "A", macrokind::Advanced, 0, "A.key", "", 1 });
    catalogue.append(MacroRecord { "B", macrokind::Advanced, 0, "B.key", "", 1 });
    // Editing A: its stored text would come back round, the edited one does not.
    model.openForEdit(
        "<<RUN:B>>", [](const std::string &) {}, a);
    EXPECT_TRUE(
        control<QPlainTextEdit>(form, "mmoCheck")->toPlainText().contains("come back round"));
    control<QPlainTextEdit>(form, "mmoManKeys")->setPlainText("x");
    QTRY_COMPARE_WITH_TIMEOUT(control<QPlainTextEdit>(form, "mmoCheck")->toPlainText(),
        QString(MacroCheckModel::NoFindings), 2000);
}

} // namespace
