// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormControl.h"
#include "catalogue/ProfileStore.h"
#include "editing/HintModel.h"
#include "editing/forms/TfrmHint.h"
#include "fakes/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace quorvel;
using quorvel::testing::control;

namespace {

class HintWindow : public ::testing::Test
{
protected:
    HintWindow()
    {
        hints.onShowHintsChanged = [this](bool on) { trayTick = on; };
    }

    // Runs act on the hint window once it is up; reports whether it came up.
    bool showHint(const QString &text, const std::function<void()> &act)
    {
        bool shown = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            // The window takes the focus once it is active, which comes after it shows.
            if (!form.isVisible() || QApplication::activeWindow() != &form || shown)
                return;
            shown = true;
            EXPECT_EQ(control<QPlainTextEdit>(form, "mmoHint")->toPlainText(), text);
            act();
        });
        poll.start(5);
        hints.ShowHint(text.toStdString());
        return shown;
    }

    quorvel::testing::TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    TfrmHint form;
    HintModel hints { store, form };
    std::optional<bool> trayTick;
};

TEST_F(HintWindow, ShowsTheTextWithItsNamesAndOkCloses)
{
    EXPECT_TRUE(showHint(QStringLiteral("Press Stop when finished."), [this] {
        EXPECT_EQ(form.windowTitle().toStdString(), "Quorvel Hints");
        EXPECT_EQ(control<QPlainTextEdit>(form, "mmoHint")->accessibleName().toStdString(), "Hint");
        EXPECT_TRUE(control<QPlainTextEdit>(form, "mmoHint")->isReadOnly());
        EXPECT_TRUE(control<QCheckBox>(form, "cbShowHint")->isChecked());
        EXPECT_EQ(QApplication::focusWidget(), control<QPushButton>(form, "cmdOK"));
        control<QPushButton>(form, "cmdOK")->click();
    }));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(trayTick, true);
    EXPECT_EQ(store.readString("Main", "Show Hints", "absent"), "absent");
}

TEST_F(HintWindow, ClearedBoxSwitchesHintsOffAndStaysClearedNextTime)
{
    EXPECT_TRUE(showHint(QStringLiteral("one"), [this] {
        control<QCheckBox>(form, "cbShowHint")->setChecked(false);
        form.reject(); // Esc closes it the same way
    }));
    EXPECT_EQ(store.readString("Main", "Show Hints", ""), "0");
    EXPECT_EQ(trayTick, false);

    trayTick.reset();
    EXPECT_FALSE(showHint(QStringLiteral("two"), [] {}));
    EXPECT_FALSE(trayTick.has_value());

    store.writeBool("Main", "Show Hints", true);
    EXPECT_TRUE(showHint(QStringLiteral("three"), [this] {
        EXPECT_FALSE(control<QCheckBox>(form, "cbShowHint")->isChecked());
        control<QCheckBox>(form, "cbShowHint")->setChecked(true);
        control<QPushButton>(form, "cmdOK")->click();
    }));
    EXPECT_EQ(trayTick, true);
    EXPECT_EQ(store.readString("Main", "Show Hints", ""), "1");
}

} // namespace
