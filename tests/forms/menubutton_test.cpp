// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/forms/TEPMenuButton.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace quorvel;

namespace {

// Acts on each menu that pops up, in turn; a menu no step was given for is closed and counted.
class MenuWatcher
{
public:
    using Step = std::function<void(QMenu &)>;

    explicit MenuWatcher(std::vector<Step> steps)
        : m_steps(std::move(steps))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start(10);
    }

    int menusShown() const { return m_shown; }

private:
    void tick()
    {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || menu == m_last)
            return;
        m_last = menu;
        const auto step = m_shown++;
        if (size_t(step) < m_steps.size())
            m_steps[size_t(step)](*menu);
        else
            menu->close();
    }

    std::vector<Step> m_steps;
    QTimer m_timer;
    QPointer<QMenu> m_last;
    int m_shown = 0;
};

// Highlights the item and presses Enter on it, as a user would.
void choose(QMenu &menu, const QString &text)
{
    for (auto *action : menu.actions()) {
        if (action->text() == text) {
            menu.setActiveAction(action);
            QTest::keyClick(&menu, Qt::Key_Return);
            return;
        }
    }
    ADD_FAILURE() << "no item " << text.toStdString();
    menu.close();
}

class MenuButtonForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.setWindowTitle(QStringLiteral("Menu button"));
        button = new TEPMenuButton(QStringLiteral("&More Keys"), &window);
        button->SetItems({ QStringLiteral("&Home"), QStringLiteral("-"), QStringLiteral("End") });
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        window.move(50, 60);
        window.show();
        window.activateWindow();
        // Focus only lands in an active window; activation arrives after the exposure.
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QPoint centre() const { return button->rect().center(); }

    // A press as the window system delivers it, popup handling included.
    void pressOnWindow()
    {
        QTest::mousePress(
            window.windowHandle(), Qt::LeftButton, {}, button->mapTo(&window, centre()));
        QTest::mouseRelease(
            window.windowHandle(), Qt::LeftButton, {}, button->mapTo(&window, centre()));
    }

    QDialog window;
    TEPMenuButton *button = nullptr;
};

TEST_F(MenuButtonForm, PressRaisesTheClickThenDropsTheMenuBelow)
{
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QSignalSpy changed(button, &TEPMenuButton::changed);
    int clicksWhenShown = -1;
    bool downWhenShown = false;
    QPoint menuAt;
    QStringList names;
    MenuWatcher watcher({ [&](QMenu &menu) {
        clicksWhenShown = int(clicked.count());
        downWhenShown = button->isDown();
        menuAt = menu.pos();
        auto *accessible = QAccessible::queryAccessibleInterface(&menu);
        for (int i = 0; accessible && i < accessible->childCount(); ++i)
            names << accessible->child(i)->text(QAccessible::Name);
        choose(menu, QStringLiteral("End"));
    } });

    QTest::mousePress(button, Qt::LeftButton, {}, centre());

    EXPECT_EQ(watcher.menusShown(), 1);
    EXPECT_EQ(clicksWhenShown, 1);
    EXPECT_TRUE(downWhenShown);
    EXPECT_FALSE(button->isDown());
    EXPECT_TRUE(button->hasFocus());
    EXPECT_EQ(menuAt, button->mapToGlobal(QPoint(0, button->height() - 1)));
    EXPECT_EQ(names, (QStringList { "Home", "", "End" }));
    EXPECT_EQ(button->ItemIndex(), 2);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 2);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(button->menuOpen());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name),
        QStringLiteral("More Keys"));
}

TEST_F(MenuButtonForm, EscapeDismissesAndKeepsTheChoice)
{
    button->SetItemIndex(0);
    QSignalSpy changed(button, &TEPMenuButton::changed);
    MenuWatcher watcher({ [](QMenu &menu) { QTest::keyClick(&menu, Qt::Key_Escape); } });

    QTest::mousePress(button, Qt::LeftButton, {}, centre());

    EXPECT_EQ(watcher.menusShown(), 1);
    EXPECT_EQ(button->ItemIndex(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(button->isDown());
}

TEST_F(MenuButtonForm, TheClickThatClosesTheMenuDoesNotReopenIt)
{
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    MenuWatcher watcher({ [&](QMenu &menu) {
        // On the button, outside the menu: the menu closes and the window system hands the
        // press back to the button.
        const QPoint onButton = button->mapToGlobal(QPoint(button->width() / 2, 2));
        QTest::mouseClick(
            menu.windowHandle(), Qt::LeftButton, {}, menu.windowHandle()->mapFromGlobal(onButton));
    } });

    pressOnWindow();
    QTest::qWait(100);

    EXPECT_EQ(watcher.menusShown(), 1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(button->menuOpen());

    // The next press is an ordinary one again.
    pressOnWindow();
    QTest::qWait(50);
    EXPECT_EQ(watcher.menusShown(), 2);
    EXPECT_EQ(clicked.count(), 2);
}

TEST_F(MenuButtonForm, ClicksQueuedWhileTheMenuWasUpAreDropped)
{
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    MenuWatcher watcher({ [&](QMenu &menu) {
        const QPoint at = centre();
        const QPoint global = button->mapToGlobal(at);
        for (auto type :
            { QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick }) {
            const auto buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QCoreApplication::postEvent(
                button, new QMouseEvent(type, at, global, Qt::LeftButton, buttons, Qt::NoModifier));
        }
        QTest::keyClick(&menu, Qt::Key_Escape);
    } });

    QTest::mousePress(button, Qt::LeftButton, {}, centre());
    QTest::qWait(50);

    EXPECT_EQ(watcher.menusShown(), 1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(button->isDown());
}

TEST_F(MenuButtonForm, KeyboardPressRaisesTheClickThenOpensTheMenu)
{
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QSignalSpy changed(button, &TEPMenuButton::changed);
    int clicksWhenShown = -1;
    MenuWatcher watcher({ [&](QMenu &menu) {
        clicksWhenShown = int(clicked.count());
        choose(menu, QStringLiteral("&Home"));
    } });
    button->setFocus();

    QTest::keyClick(button, Qt::Key_Space);
    QTRY_COMPARE(changed.count(), 1);

    EXPECT_EQ(clicksWhenShown, 1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button->ItemIndex(), 0);
    EXPECT_EQ(watcher.menusShown(), 1);
}

TEST_F(MenuButtonForm, WithoutItemsOnlyTheClickIsRaised)
{
    button->SetItems({});
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    MenuWatcher watcher({});

    QTest::mousePress(button, Qt::LeftButton, {}, centre());
    QTest::keyClick(button, Qt::Key_Space);
    QTest::qWait(50);

    EXPECT_EQ(clicked.count(), 2);
    EXPECT_EQ(watcher.menusShown(), 0);
    EXPECT_FALSE(button->isDown());
}

TEST_F(MenuButtonForm, CheckmarkOnTheLastChoice)
{
    button->SetShowCheckmark(true);
    button->SetItemIndex(2);
    std::vector<bool> checked;
    MenuWatcher watcher({ [&](QMenu &menu) {
        for (auto *action : menu.actions())
            checked.push_back(action->isChecked());
        menu.close();
    } });

    QTest::mousePress(button, Qt::LeftButton, {}, centre());

    EXPECT_EQ(checked, (std::vector<bool> { false, false, true }));
}

TEST_F(MenuButtonForm, ModalResultClosesTheOwningDialog)
{
    button->setModalResult(7);
    window.open();
    MenuWatcher watcher({ [](QMenu &menu) { choose(menu, QStringLiteral("&Home")); } });

    QTest::mousePress(button, Qt::LeftButton, {}, centre());

    EXPECT_EQ(window.result(), 7);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MenuButtonForm, DismissingLeavesTheDialogOpen)
{
    button->setModalResult(7);
    window.open();
    MenuWatcher watcher({ [](QMenu &menu) { menu.close(); } });

    QTest::mousePress(button, Qt::LeftButton, {}, centre());

    EXPECT_TRUE(window.isVisible());
}

} // namespace
