// SPDX-License-Identifier: GPL-3.0-or-later
#include "WizardRig.h"
#include "catalogue/Catalogue.h"
#include "components/forms/FileFilter.h"
#include "editing/HintShower.h"
#include "editing/forms/TfrmWizard.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeJournal.h"
#include "fakes/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::control;
using quorvel::testing::TempDir;

namespace {

class WizardForm : public ::testing::Test, protected quorvel::testing::WizardRig
{
protected:
    TfrmWizard form { model };

    QString current() const
    {
        return form.findChild<QStackedWidget *>()->currentWidget()->objectName();
    }
};

TEST_F(WizardForm, NamesCaptionsAndAccessibleNames)
{
    EXPECT_EQ(form.windowTitle(), "Macro Assistant");
    const std::vector<std::pair<const char *, const char *>> buttons = {
        { "cmdStepBack", "< Back" },
        { "cmdNext", "Next >" },
        { "cmdFinished", "Finished" },
        { "cmdSave", "Save" },
        { "cmdCancel", "Cancel" },
        { "cmdStartKeys", "Start Recording" },
        { "cmdStopMouse", "Stop Recording" },
        { "cmdPlayMouse", "Playback" },
    };
    for (const auto &[name, accessible] : buttons) {
        const auto *button = form.findChild<QPushButton *>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->accessibleName(), accessible);
    }
    const std::vector<std::pair<const char *, const char *>> edits = {
        { "edtMacroName", "Macro Name" },
        { "HotKey1", "Hot Key" },
        { "edtTrigger", "Window Title" },
        { "cbShortCuts", "ShortCut Icon" },
        { "edtCommandLine", "Command Line" },
        { "edtParameters", "Parameters" },
        { "edtStartIn", "Start In" },
        { "mmoKeys", "Practice Keys" },
        { "mmoManKeys", "Macro Text" },
        { "lblMacroType", "Macro Type Summary" },
        { "lblWTrigger", "Window Trigger Summary" },
    };
    for (const auto &[name, accessible] : edits) {
        const auto *widget = form.findChild<QWidget *>(QLatin1String(name));
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->accessibleName(), accessible);
    }
    EXPECT_EQ(form.findChild<QStackedWidget *>()->count(), 9);
    EXPECT_EQ(control<QComboBox>(form, "cbShortCuts")->count(), 7);
    EXPECT_EQ(control<QLineEdit>(form, "edtMacroName")->maxLength(), 30);
    EXPECT_TRUE(control<QPushButton>(form, "cmdNext")->isDefault());
    EXPECT_EQ(
        qtFilter(editor::FileFilter).section(";;", 0, 1), "All Files (*);;Executables (*.exe)");
}

TEST_F(WizardForm, WalksToTheSummaryAndStoresAnAdvancedMacro)
{
    bool done = false;
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(current(), "pnlStart");
        control<QRadioButton>(form, "optRecKeys")->click();
        QTest::mouseClick(control<QPushButton>(form, "cmdNext"), Qt::LeftButton);
        EXPECT_EQ(current(), "pnlName");
        QTest::keyClicks(control<QLineEdit>(form, "edtMacroName"), "Hello ");
        control<QPushButton>(form, "cmdNext")->click();
        EXPECT_EQ(current(), "pnlHotKey");
        control<QPushButton>(form, "cmdNext")->click();
        EXPECT_EQ(current(), "pnlManualKeys");
        QTest::keyClicks(control<QPlainTextEdit>(form, "mmoManKeys"), "abc");
        QTest::keyClick(control<QPlainTextEdit>(form, "mmoManKeys"), Qt::Key_Return);
        EXPECT_EQ(control<QPlainTextEdit>(form, "mmoManKeys")->toPlainText(), "abc");
        control<QPushButton>(form, "cmdNext")->click();
        EXPECT_EQ(current(), "pnlFinished");
        EXPECT_EQ(control<QLabel>(form, "lblMacroType")->accessibleDescription(),
            "Playback advanced macro");
        EXPECT_EQ(control<QLabel>(form, "lblShortcutKeys")->text(), "None");
        EXPECT_TRUE(control<QPushButton>(form, "cmdFinished")->isVisible());
        EXPECT_FALSE(control<QPushButton>(form, "cmdNext")->isVisible());
        control<QPushButton>(form, "cmdFinished")->click();
        done = true;
    });
    form.showModal();
    EXPECT_TRUE(done);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(services.editing);
    EXPECT_EQ(quorvel::testing::readFile(dir.file("Hello.key")), "abc\r\n");
    EXPECT_NE(
        quorvel::testing::readFile(dir.file("macros.ini")).find("Name=Hello\n"), std::string::npos);
}

} // namespace
