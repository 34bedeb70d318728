// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/forms/THotKeyEdit.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

constexpr unsigned S = hotkey::Shift, C = hotkey::Ctrl, A = hotkey::Alt;

struct Typed
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    unsigned value;
    const char *text;
};

// A dialog with a default button and a box after the hot-key box, so a key that leaks out
// would close the dialog or move the focus.
class HotKeyEditForm : public ::testing::Test
{
protected:
    HotKeyEditForm()
    {
        box = new THotKeyEdit(&dialog);
        box->setAccessibleName(QStringLiteral("Hot Key"));
        next = new QLineEdit(&dialog);
        auto *ok = new QPushButton(QStringLiteral("&Next"), &dialog);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(box);
        layout->addWidget(next);
        layout->addWidget(ok);
        dialog.show();
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        box->setFocus();
    }

    QDialog dialog;
    THotKeyEdit *box = nullptr;
    QLineEdit *next = nullptr;
};

class TypedCombination : public HotKeyEditForm, public ::testing::WithParamInterface<Typed>
{
};

TEST_P(TypedCombination, IsCapturedWithItsValueAndText)
{
    const auto &t = GetParam();
    QSignalSpy changed(box, &THotKeyEdit::hotKeyChanged);
    QTest::keyClick(box, t.key, t.modifiers);
    EXPECT_EQ(box->HotKey(), t.value);
    EXPECT_EQ(box->text().toStdString(), t.text);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(box->hasFocus());
    EXPECT_TRUE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Keys, TypedCombination,
    ::testing::Values(
        Typed { Qt::Key_M, Qt::ControlModifier | Qt::AltModifier, 'M' | C | A, "Ctrl+Alt+M" },
        Typed { Qt::Key_F9, Qt::NoModifier, 0x78 | A, "Alt+F9" },
        Typed { Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, 'A' | C | S, "Shift+Ctrl+A" },
        Typed { Qt::Key_Tab, Qt::ControlModifier, 0x09 | C, "Ctrl+Tab" },
        Typed { Qt::Key_Backspace, Qt::AltModifier, 0x08 | A, "Alt+BkSp" },
        Typed { Qt::Key_5, Qt::ControlModifier | Qt::KeypadModifier, 0x65 | C, "Ctrl+5" },
        Typed { Qt::Key_Exclam, Qt::ShiftModifier, '1' | S | A, "Shift+Alt+1" },
        Typed { Qt::Key_A, Qt::NoModifier, 'A' | A, "Alt+A" },
        Typed { Qt::Key_F2, Qt::ShiftModifier, 0x71 | S | A, "Shift+Alt+F2" },
        Typed { Qt::Key_Tab, Qt::NoModifier, 0x09 | A, "Alt+Tab" },
        Typed { Qt::Key_Return, Qt::NoModifier, 0x0D | A, "Alt+Enter" },
        Typed { Qt::Key_Escape, Qt::NoModifier, 0x1B | A, "Alt+Esc" }));

TEST_F(HotKeyEditForm, BareF1GoesOnToTheWindowForItsHelp)
{
    struct F1Releases : QObject
    {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::KeyRelease
                && static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1;
            return false;
        }
    } window;
    dialog.installEventFilter(&window);
    for (const auto &[modifiers, reaches] :
        { std::pair { Qt::KeyboardModifiers(Qt::NoModifier), 1 },
            std::pair { Qt::KeyboardModifiers(Qt::ControlModifier), 0 } }) {
        window.count = 0;
        QTest::keyClick(box, Qt::Key_F1, modifiers);
        EXPECT_EQ(window.count, reaches) << int(modifiers);
    }
    dialog.removeEventFilter(&window);
}

TEST_F(HotKeyEditForm, BackspaceAloneClearsAndBacktabStaysInTheBox)
{
    box->SetHotKey('M' | C | A);
    EXPECT_EQ(box->text().toStdString(), "Ctrl+Alt+M");
    QTest::keyClick(box, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->HotKey(), 0U);
    EXPECT_EQ(box->text().toStdString(), "None");
    EXPECT_EQ(box->accessibleName().toStdString(), "Hot Key");
}

TEST_F(HotKeyEditForm, ModifiersHeldShowAsPendingUntilReleased)
{
    box->SetHotKey('Q' | C | A);
    QTest::keyPress(box, Qt::Key_Control);
    QTest::keyPress(box, Qt::Key_Shift, Qt::ControlModifier);
    EXPECT_EQ(box->text().toStdString(), "Shift+Ctrl+");
    QTest::keyRelease(box, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyRelease(box, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(box->text().toStdString(), "Ctrl+Alt+Q");
    EXPECT_EQ(box->HotKey(), 'Q' | C | A);
}

TEST_F(HotKeyEditForm, KeycodeFromThePlatformNamesTheKeyNotTheSymbol)
{
    // The platform knows keycode 10 as the "1" key; the toolkit says "!" was typed.
    box->setKeyLookups([](unsigned keycode) { return keycode == 10 ? 0x31 : 0; }, {});
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier | Qt::ControlModifier, 10,
        0x21, 0, QStringLiteral("!"));
    QApplication::sendEvent(box, &press);
    EXPECT_EQ(box->HotKey(), '1' | S | C);
    // A keycode the platform does not know falls back on the toolkit's key.
    QKeyEvent other(QEvent::KeyPress, Qt::Key_F9, Qt::ControlModifier, 99, 0, 0);
    QApplication::sendEvent(box, &other);
    EXPECT_EQ(box->HotKey(), 0x78 | C);
}

} // namespace
