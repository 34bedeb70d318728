// SPDX-License-Identifier: GPL-3.0-or-later
#include "WizardRig.h"
#include "catalogue/Catalogue.h"
#include "components/forms/TEPMenuButton.h"
#include "editing/HintShower.h"
#include "editing/InsertionModel.h"
#include "editing/forms/InsertionDialogs.h"
#include "editing/forms/TInputQuery.h"
#include "editing/forms/TfrmExecute.h"
#include "editing/forms/TfrmInputBox.h"
#include "editing/forms/TfrmRepeat.h"
#include "editing/forms/TfrmWait.h"
#include "editing/forms/TfrmWaitforWindow.h"
#include "editing/forms/TfrmWizard.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeJournal.h"
#include "fakes/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace quorvel;
using insertion::Menu;
using quorvel::testing::control;
using quorvel::testing::TempDir;

namespace {

// Runs then from inside the modal loop of the first modal window that accepts, once it is up.
void whenModal(std::function<bool(QWidget *)> accepts, std::function<void(QWidget *)> then)
{
    auto *poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, accepts, then] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible() && accepts(modal)) {
            poll->deleteLater();
            poll->stop();
            then(modal);
        } else if (deadline->hasExpired()) {
            poll->deleteLater();
            poll->stop();
            ADD_FAILURE() << "no modal window came up";
        }
    });
    poll->start(10);
}

void whenShown(QWidget *dialog, std::function<void()> then)
{
    whenModal([dialog](QWidget *modal) { return modal == dialog; },
        [then = std::move(then)](QWidget *) { then(); });
}

class InsertionForms : public ::testing::Test, protected quorvel::testing::WizardRig
{
protected:
    InsertionModel insertion { services, catalogue };
    TfrmWizard form { model };
    InsertionDialogs *dialogs = nullptr;

    void SetUp() override
    {
        form.setInsertionModel(insertion);
        dialogs = form.insertionDialogs();
        form.show();
        form.showPage(wizard::Page::pnlManualKeys);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    void TearDown() override { form.hide(); }

    TEPMenuButton *menuButton(Menu menu) const
    {
        static const char *names[] = { "cmdSpecialKeys", "EPMenuButton3", "EPMenuButton2",
            "EPMenuButton1", "EPMenuButton4" };
        return control<TEPMenuButton>(form, names[int(menu)]);
    }
    QPlainTextEdit *memo() const { return control<QPlainTextEdit>(form, "mmoManKeys"); }
    // Text and caret; a selection from anchor to caret when anchor is given.
    void setMemo(const QString &text, int caret, int anchor = -1)
    {
        memo()->setPlainText(text);
        QTextCursor cursor = memo()->textCursor();
        cursor.setPosition(anchor < 0 ? caret : anchor);
        if (anchor >= 0)
            cursor.setPosition(caret, QTextCursor::KeepAnchor);
        memo()->setTextCursor(cursor);
    }
    // Opens the button's menu and clicks the item with that text, as a user does.
    void pick(Menu menu, const QString &text)
    {
        TEPMenuButton *button = menuButton(menu);
        QTimer::singleShot(0, [button, text] {
            QMenu *opened = button->openedMenu();
            ASSERT_NE(opened, nullptr);
            for (QAction *action : opened->actions()) {
                if (action->text() == text) {
                    QTest::mouseClick(
                        opened, Qt::LeftButton, {}, opened->actionGeometry(action).center());
                    return;
                }
            }
            ADD_FAILURE() << "no item " << text.toStdString();
            opened->close();
        });
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // The window's focus child: the platform activates the window again after a popup.
    bool memoFocused() const { return form.focusWidget() == memo(); }
};

TEST_F(InsertionForms, AdvancedPageHoldsTheMenusAndTheDelayButton)
{
    const std::vector<std::tuple<Menu, const char *, const char *, int>> buttons = {
        { Menu::cmdSpecialKeys, "cmdSpecialKeys", "Special Keys", 24 },
        { Menu::EPMenuButton3, "EPMenuButton3", "More Keys", 9 },
        { Menu::EPMenuButton2, "EPMenuButton2", "Repeat", 2 },
        { Menu::EPMenuButton1, "EPMenuButton1", "Date / Time", 4 },
        { Menu::EPMenuButton4, "EPMenuButton4", "Misc.", 6 },
    };
    for (const auto &[menu, name, accessible, count] : buttons) {
        TEPMenuButton *button = menuButton(menu);
        EXPECT_EQ(button->objectName(), name);
        EXPECT_EQ(button->accessibleName(), accessible);
        EXPECT_EQ(button->Items().size(), count) << name;
        EXPECT_TRUE(button->isVisible());
    }
    EXPECT_EQ(control<QPushButton>(form, "cmdDelay")->accessibleName(), "Start a Delay");
    EXPECT_EQ(control<QPushButton>(form, "cmdDelay")->text(), "&Start a Delay");
    EXPECT_FALSE(control<QLineEdit>(form, "edtSpecialKeys")->isVisible());
    // Beside the memo, inside the window.
    const QRect page = control(form, "pnlManualKeys")->rect();
    for (const auto &[menu, name, accessible, count] : buttons) {
        TEPMenuButton *button = menuButton(menu);
        const QRect area(button->mapTo(control(form, "pnlManualKeys"), QPoint()), button->size());
        EXPECT_TRUE(page.contains(area)) << button->objectName().toStdString();
        EXPECT_GE(area.left(), memo()->geometry().right());
    }
}

TEST_F(InsertionForms, MenuItemGoesInAtTheCaretThroughTheClipboard)
{
    setMemo(QStringLiteral("abcd"), 2);
    control<QPushButton>(form, "cmdDelay")->setFocus();
    pick(Menu::cmdSpecialKeys, QStringLiteral("F1"));
    EXPECT_EQ(memo()->toPlainText(), "ab<<F1>>cd");
    EXPECT_EQ(memo()->textCursor().position(), 8);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "<<F1>>");
    EXPECT_EQ(control<QLineEdit>(form, "edtSpecialKeys")->text(), "<<F1>>");
    EXPECT_TRUE(memoFocused());
}

TEST_F(InsertionForms, MenuItemReplacesTheSelection)
{
    setMemo(QStringLiteral("Hello world!"), 11, 6);
    pick(Menu::EPMenuButton3, QStringLiteral("End"));
    EXPECT_EQ(memo()->toPlainText(), "Hello <<END>>!");
    pick(Menu::cmdSpecialKeys, QStringLiteral("Ctrl"));
    EXPECT_EQ(memo()->toPlainText(), "Hello <<END>><<CTRL>>!");
    ASSERT_EQ(services.hints.size(), 1U);
    EXPECT_EQ(services.hints[0], insertion::ModifierHint);
}

TEST_F(InsertionForms, DelayDialogTakesTheTimeAndHandsTheFocusBack)
{
    setMemo(QStringLiteral("x"), 1);
    whenShown(dialogs->frmWait, [this] {
        EXPECT_EQ(
            dialogs->frmWait->focusWidget(), control<QLineEdit>(*dialogs->frmWait, "edtTime"));
        QTest::keyClicks(control<QLineEdit>(*dialogs->frmWait, "edtTime"), "15");
        QTest::mouseClick(control<QRadioButton>(*dialogs->frmWait, "optMinutes"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(*dialogs->frmWait, "cmdOK"), Qt::LeftButton);
    });
    QTest::mouseClick(control<QPushButton>(form, "cmdDelay"), Qt::LeftButton);
    EXPECT_FALSE(dialogs->frmWait->isVisible());
    EXPECT_EQ(memo()->toPlainText(), "x<<MINS15>>");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "<<MINS15>>");
    EXPECT_EQ(dialogs->frmWait->carrier()->objectName(), "edtTemp");
    EXPECT_TRUE(memoFocused());

    // Shown again it holds what was typed; Esc is its Cancel.
    whenShown(dialogs->frmWait, [this] {
        EXPECT_EQ(control<QLineEdit>(*dialogs->frmWait, "edtTime")->text(), "15");
        EXPECT_TRUE(control<QRadioButton>(*dialogs->frmWait, "optMinutes")->isChecked());
        QTest::keyClick(control<QLineEdit>(*dialogs->frmWait, "edtTime"), Qt::Key_Escape);
    });
    QTest::mouseClick(control<QPushButton>(form, "cmdDelay"), Qt::LeftButton);
    EXPECT_FALSE(dialogs->frmWait->isVisible());
    EXPECT_EQ(memo()->toPlainText(), "x<<MINS15>>");
}

TEST_F(InsertionForms, DialogsCaptionsNamesAndDefaults)
{
    auto *wait = dialogs->frmWait;
    EXPECT_EQ(wait->windowTitle(), "Wait Time");
    EXPECT_TRUE(wait->windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(wait->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(control<QLineEdit>(*wait, "edtTime")->accessibleName(), "Time");
    EXPECT_EQ(control<QLineEdit>(*wait, "edtTime")->inputMask(), "000;_");
    EXPECT_TRUE(control<QPushButton>(*wait, "cmdOK")->isDefault());
    EXPECT_EQ(control<QRadioButton>(*wait, "optSeconds")->accessibleName(), "Seconds");
    wait->loadFields();
    EXPECT_TRUE(control<QRadioButton>(*wait, "optSeconds")->isChecked());
    EXPECT_EQ(control<QLineEdit>(*wait, "edtTime")->text(), "");

    auto *repeat = dialogs->frmRepeat;
    EXPECT_EQ(repeat->windowTitle(), "Number of Times to Repeat");
    EXPECT_EQ(control<QLineEdit>(*repeat, "edtRepCount")->accessibleName(), "Repeat Count");
    EXPECT_FALSE(control<QPushButton>(*repeat, "cmdOK")->isDefault());
    EXPECT_FALSE(control<QPushButton>(*repeat, "cmdOK")->autoDefault());

    auto *input = dialogs->frmInputBox;
    EXPECT_EQ(input->windowTitle(), "Input Box");
    EXPECT_EQ(control<QLineEdit>(*input, "edtInputName")->accessibleName(), "Input Box Title");
    EXPECT_EQ(control<QLineEdit>(*input, "edtInputName")->maxLength(), 50);
    EXPECT_TRUE(control<QPushButton>(*input, "cmdOK")->isDefault());
    EXPECT_EQ(input->carrier()->objectName(), "edtText");

    auto *look = dialogs->frmWaitforWindow;
    EXPECT_EQ(look->windowTitle(), "Wait for a Window");
    EXPECT_EQ(
        control<QLineEdit>(*look, "edtWinTitle")->accessibleName(), "Window Title to Wait For");
    EXPECT_EQ(control<QLineEdit>(*look, "edtTime")->accessibleName(), "Time");
    look->loadFields();
    EXPECT_EQ(control<QLineEdit>(*look, "edtTime")->text(), "5");
    EXPECT_TRUE(control<QRadioButton>(*look, "optSeconds")->isChecked());

    auto *execute = dialogs->frmExecute;
    EXPECT_EQ(execute->windowTitle(), "Execute an Application");
    EXPECT_FALSE(execute->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(control<QPushButton>(*execute, "cmdBrowse")->accessibleName(), "Browse");
    EXPECT_EQ(control<QPushButton>(*execute, "cmdBrowseFolder")->accessibleName(), "Browse");
    EXPECT_EQ(control<QLineEdit>(*execute, "edtStartIn")->accessibleName(), "Start In");
    EXPECT_EQ(execute->minimumSize(), execute->maximumSize());
}

TEST_F(InsertionForms, WaitforWindowRefusesABlankTimeAndKeepsTheDialogOpen)
{
    auto *look = dialogs->frmWaitforWindow;
    std::string message;
    whenShown(look, [&] {
        QTest::keyClicks(control<QLineEdit>(*look, "edtWinTitle"), " Report - Editor ");
        control<QLineEdit>(*look, "edtTime")->clear();
        whenModal([](QWidget *w) { return qobject_cast<QMessageBox *>(w) != nullptr; },
            [&](QWidget *box) {
                message = static_cast<QMessageBox *>(box)->text().toStdString();
                static_cast<QMessageBox *>(box)->accept();
            });
        QTest::mouseClick(control<QPushButton>(*look, "cmdOK"), Qt::LeftButton);
        EXPECT_TRUE(look->isVisible());
        EXPECT_EQ(look->focusWidget(), control<QLineEdit>(*look, "edtTime"));
        QTest::keyClicks(control<QLineEdit>(*look, "edtTime"), "10");
        QTest::mouseClick(control<QPushButton>(*look, "cmdOK"), Qt::LeftButton);
    });
    pick(Menu::EPMenuButton4, QStringLiteral("Wait for a window to be present"));
    EXPECT_EQ(message, insertion::TimeMissing);
    EXPECT_EQ(memo()->toPlainText(), "<<LOOKFOR:Report - Editor~~SECS:10>>");
    EXPECT_TRUE(memoFocused());
}

TEST_F(InsertionForms, RepeatDialogIgnoresEscape)
{
    whenShown(dialogs->frmRepeat, [this] {
        QTest::keyClick(control<QLineEdit>(*dialogs->frmRepeat, "edtRepCount"), Qt::Key_Escape);
        QTest::keyClick(control<QLineEdit>(*dialogs->frmRepeat, "edtRepCount"), Qt::Key_Return);
        EXPECT_TRUE(dialogs->frmRepeat->isVisible());
        QTest::keyClicks(control<QLineEdit>(*dialogs->frmRepeat, "edtRepCount"), "3");
        QTest::mouseClick(control<QPushButton>(*dialogs->frmRepeat, "cmdOK"), Qt::LeftButton);
    });
    pick(Menu::EPMenuButton2, QStringLiteral("Start Repeat Sequence"));
    EXPECT_EQ(memo()->toPlainText(), "<<REP3>>");
}

TEST_F(InsertionForms, RunAnotherMacroAsksInAOneLineBox)
{
    whenShown(dialogs->inputBox, [this] {
        EXPECT_EQ(dialogs->inputBox->windowTitle(), "Run another macro");
        EXPECT_EQ(control<QLabel>(*dialogs->inputBox, "lblPrompt")->text(),
            "Type the exact name of the existing macro to run");
        EXPECT_EQ(control<QLineEdit>(*dialogs->inputBox, "edtAnswer")->accessibleName(), "Answer");
        QTest::keyClicks(control<QLineEdit>(*dialogs->inputBox, "edtAnswer"), "Daily report");
        QTest::keyClick(control<QLineEdit>(*dialogs->inputBox, "edtAnswer"), Qt::Key_Return);
    });
    pick(Menu::EPMenuButton4, QStringLiteral("Run another macro"));
    EXPECT_EQ(memo()->toPlainText(), "<<RUN:Daily report>>");

    whenShown(dialogs->inputBox, [this] {
        QTest::keyClicks(control<QLineEdit>(*dialogs->inputBox, "edtAnswer"), "Calculator");
        QTest::keyClick(control<QLineEdit>(*dialogs->inputBox, "edtAnswer"), Qt::Key_Escape);
    });
    pick(Menu::EPMenuButton4, QStringLiteral("Bring a window into the foreground"));
    EXPECT_EQ(memo()->toPlainText(), "<<RUN:Daily report>>");
}

} // namespace
