// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormChildren.h"
#include "catalogue/Catalogue.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeViews.h"
#include "fakes/TestSupport.h"
#include "mainwindow/MainWindowModel.h"
#include "mainwindow/forms/TfrmMain.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::child;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeServices;
using quorvel::testing::FakeShell;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

class MainWindowForm : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override
    {
        writeCatalogue({ "Name=Mail\nType=4\nHotKey=49217\n",
            "Name=Editor\nType=1\nTrigger=Untitled\n", "Name=Paint\nType=3\n" });
        model.setHelpViewer(shell);
        model.setShortcutMaker(shell);
        model.setListPrinter(shell);
        model.setFileRemover(shell);
        model.setDataFolder(dir.path() + "/");
        model.LoadMacroList();
    }

    QPoint rowCentre(int row)
    {
        return lvMacro->visualItemRect(lvMacro->topLevelItem(row)).center();
    }
    void click(int row)
    {
        QTest::mouseClick(lvMacro->viewport(), Qt::LeftButton, {}, rowCentre(row));
    }
    void showActive()
    {
        frm.show();
        frm.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frm));
    }
    long count(const std::vector<std::string> &log, const std::string &entry)
    {
        return std::count(log.begin(), log.end(), entry);
    }

    FakeErrorDisplay errors;
    FakeServices services;
    FakeShell shell;
    MainWindowModel model { catalogue, errors, services };
    TfrmMain frm { model };
    QLabel *EPImage1 = child<QLabel>(frm, "EPImage1");
    QTreeWidget *lvMacro = child<QTreeWidget>(frm, "lvMacro");
    QPushButton *cmdHelp = child<QPushButton>(frm, "cmdHelp");
    QPushButton *cmdNew = child<QPushButton>(frm, "cmdNew");
    QPushButton *cmdProperties = child<QPushButton>(frm, "cmdProperties");
    QPushButton *cmdDeleteMacro = child<QPushButton>(frm, "cmdDeleteMacro");
    QPushButton *cmdClose = child<QPushButton>(frm, "cmdClose");
    QStatusBar *Stat1 = child<QStatusBar>(frm, "Stat1");
    QMenu *PopupMenu1 = child<QMenu>(frm, "PopupMenu1");
    QAction *mnuNew = child<QAction>(frm, "mnuNew");
    QAction *mnuDelete = child<QAction>(frm, "mnuDelete");
    QMenu *mnuCreateShortcut = child<QMenu>(frm, "mnuCreateShortcut");
    QAction *mnuPersonal = child<QAction>(frm, "mnuPersonal");
    QAction *mnuPrint = child<QAction>(frm, "mnuPrint");
    QAction *mnuProperties = child<QAction>(frm, "mnuProperties");
};

QString accessibleName(QObject *object)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

TEST_F(MainWindowForm, DesignStateNamesAndGeometry)
{
    EXPECT_TRUE(frm.isWindow());
    EXPECT_EQ(accessibleName(&frm), "Ostrin Quorvel");
    EXPECT_EQ(frm.size(), QSize(413, 316));
    EXPECT_FALSE(frm.windowIcon().isNull());
    EXPECT_EQ(EPImage1->height(), 37);
    EXPECT_EQ(EPImage1->pixmap().height(), 37);
    EXPECT_EQ(Stat1->height(), 20);
    EXPECT_EQ(accessibleName(lvMacro), "Macros");

    struct Button
    {
        QPushButton *button;
        const char *name;
        const char *caption;
        int left;
        int width;
        bool enabled;
    };
    for (const auto &b : { Button { cmdHelp, "cmdHelp", "Help", 3, 55, true },
             Button { cmdNew, "cmdNew", "New Macro", 59, 86, true },
             Button { cmdProperties, "cmdProperties", "Edit Macro", 147, 86, false },
             Button { cmdDeleteMacro, "cmdDeleteMacro", "Delete Macro", 235, 86, false },
             Button { cmdClose, "cmdClose", "Hide", 323, 86, true } }) {
        SCOPED_TRACE(b.caption);
        EXPECT_EQ(b.button->objectName(), b.name);
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_EQ(accessibleName(b.button), b.caption);
        EXPECT_EQ(b.button->geometry(), QRect(b.left, 272, b.width, 21));
        EXPECT_EQ(b.button->isEnabled(), b.enabled);
    }

    auto *header = lvMacro->header();
    EXPECT_FALSE(header->sectionsClickable());
    EXPECT_EQ(lvMacro->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(lvMacro->editTriggers(), QAbstractItemView::NoEditTriggers);
    const QStringList headers { "Macro Name", "Shortcut Keys", "Window Trigger" };
    const int widths[] = { 200, 90, 105 };
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(lvMacro->headerItem()->text(column), headers[column]);
        EXPECT_EQ(lvMacro->columnWidth(column), widths[column]);
    }
    ASSERT_EQ(lvMacro->topLevelItemCount(), 3);
    EXPECT_EQ(lvMacro->topLevelItem(0)->text(1), "Ctrl+Alt+A");
    EXPECT_EQ(lvMacro->topLevelItem(1)->text(2), "Untitled");
    for (int row = 0; row < 3; ++row)
        EXPECT_FALSE(lvMacro->topLevelItem(row)->icon(0).isNull());
    EXPECT_EQ(lvMacro->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 1);
    EXPECT_EQ(lvMacro->topLevelItem(2)->data(0, Qt::UserRole).toInt(), 2);
}

TEST_F(MainWindowForm, ContextMenuItemsInOrder)
{
    struct Item
    {
        QString name;
        QString text;
        bool enabled;
    };
    std::vector<Item> items;
    for (QAction *action : PopupMenu1->actions())
        items.push_back({ action->objectName(), action->text(), action->isEnabled() });
    ASSERT_EQ(items.size(), 6u);
    const std::vector<std::pair<QString, bool>> expected { { "&New Macro", true },
        { "&Delete Macro", false }, { "Create Shortcut...", false }, { "Print Macro List", true },
        { "", true }, { "&Properties", false } };
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].text, expected[i].first);
        EXPECT_EQ(items[i].enabled, expected[i].second) << items[i].text.toStdString();
    }
    EXPECT_TRUE(PopupMenu1->actions()[4]->isSeparator());
    QStringList places;
    for (QAction *action : mnuCreateShortcut->actions())
        places << action->text();
    EXPECT_EQ(places,
        (QStringList { "On &Desktop", "On &Start Menu", "On &Programs Menu", "In Start&Up Folder",
            "In &Favorites Folder", "In P&ersonal Folder" }));

    // A screen reader says the captions without their "&".
    PopupMenu1->popup(QPoint(10, 10));
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(PopupMenu1);
    ASSERT_TRUE(menu);
    ASSERT_GE(menu->childCount(), 6);
    EXPECT_EQ(menu->child(0)->text(QAccessible::Name), "New Macro");
    EXPECT_EQ(menu->child(5)->text(QAccessible::Name), "Properties");
    PopupMenu1->hide();
}

TEST_F(MainWindowForm, MouseClickSetsStatusAndAllFiveCommands)
{
    frm.show();
    click(1);
    EXPECT_EQ(Stat1->currentMessage(), "Editor - Starts an Application or Document");
    EXPECT_TRUE(cmdDeleteMacro->isEnabled());
    EXPECT_TRUE(cmdProperties->isEnabled());
    EXPECT_TRUE(mnuDelete->isEnabled());
    EXPECT_TRUE(mnuProperties->isEnabled());
    EXPECT_TRUE(mnuCreateShortcut->menuAction()->isEnabled());
    EXPECT_EQ(accessibleName(Stat1), "Editor - Starts an Application or Document");
    EXPECT_EQ(Stat1->toolTip(), "");
}

// What the desktop lacks can be longer than the window is wide.
TEST_F(MainWindowForm, AStatusCutAtTheEdgeShowsWholeOnHovering)
{
    frm.show();
    const std::string lacking(200, 'x');
    frm.setStatusText(lacking);
    EXPECT_EQ(Stat1->toolTip().toStdString(), lacking);
    click(1);
    EXPECT_EQ(Stat1->toolTip(), "");
}

TEST_F(MainWindowForm, KeyReleasesMoveTheStatusOnlyWhileForeground)
{
    showActive();
    lvMacro->setFocus();
    lvMacro->setCurrentItem(lvMacro->topLevelItem(0));
    QTest::keyClick(lvMacro, Qt::Key_Down);
    EXPECT_EQ(lvMacro->currentIndex().row(), 1);
    EXPECT_EQ(Stat1->currentMessage(), "Editor - Starts an Application or Document");
    EXPECT_FALSE(cmdDeleteMacro->isEnabled());
    EXPECT_FALSE(cmdProperties->isEnabled());

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(lvMacro, Qt::Key_Down);
    EXPECT_EQ(Stat1->currentMessage(), "Editor - Starts an Application or Document");
}

TEST_F(MainWindowForm, F1AnywhereOpensHelpOnce)
{
    showActive();
    QTest::keyClick(lvMacro, Qt::Key_F1);
    QTest::keyClick(cmdNew, Qt::Key_F1);
    QTest::keyClick(&frm, Qt::Key_F1);
    QTest::keyClick(lvMacro, Qt::Key_F2);
    EXPECT_EQ(count(shell.log, "help Operation"), 3);
    cmdHelp->click();
    EXPECT_EQ(count(shell.log, "help Operation"), 4);
}

TEST_F(MainWindowForm, DoubleClickEditsTheRowAndNeverRuns)
{
    frm.show();
    click(2);
    QTest::mouseDClick(lvMacro->viewport(), Qt::LeftButton, {}, rowCentre(2));
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(count(services.log, "editing on"), 1);
    EXPECT_EQ(count(services.log, "editing off"), 1);
    for (const auto &entry : services.log)
        EXPECT_EQ(entry.rfind("run", 0), std::string::npos) << entry;
}

TEST_F(MainWindowForm, ContextMenuCommandsReachTheModel)
{
    frm.show();
    lvMacro->setCurrentItem(lvMacro->topLevelItem(2));
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, rowCentre(2), lvMacro->viewport()->mapToGlobal(rowCentre(2)));
    QApplication::sendEvent(lvMacro->viewport(), &event);
    EXPECT_TRUE(PopupMenu1->isVisible());
    // The right button's release went to the menu: the commands are set already.
    EXPECT_TRUE(mnuCreateShortcut->menuAction()->isEnabled());
    EXPECT_TRUE(mnuProperties->isEnabled());
    PopupMenu1->hide();

    mnuPersonal->trigger();
    mnuPrint->trigger();
    mnuProperties->trigger();
    mnuNew->trigger();
    EXPECT_EQ(shell.log, (std::vector<std::string> { "shortcut 4 3", "print" }));
    EXPECT_EQ(count(services.log, "editing on"), 2);
}

TEST_F(MainWindowForm, DeleteThroughTheButtonAndTheQuestion)
{
    frm.show();
    click(0);
    std::string question;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            question = box->text().toStdString();
            box->button(QMessageBox::Yes)->click();
        }
    });
    answer.start(10);
    services.onBind = [&] { model.LoadMacroList(); };
    QTest::mouseClick(cmdDeleteMacro, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(lvMacro->topLevelItemCount(), 2, 5000);
    EXPECT_EQ(question, "Are you sure you want to delete this macro?");
    EXPECT_EQ(store.readInteger("Main", "Entries", 0), 2);
    EXPECT_EQ(store.readString("Macro1", "Name", ""), "Editor");
    EXPECT_EQ(lvMacro->topLevelItem(0)->text(0), "Editor");
    EXPECT_EQ(shell.log,
        (std::vector<std::string> {
            "remove " + dir.path() + "/Mail.key", "remove " + dir.path() + "/Mail.dat" }));
    EXPECT_FALSE(cmdDeleteMacro->isEnabled());
    EXPECT_TRUE(cmdProperties->isEnabled());
    EXPECT_FALSE(mnuDelete->isEnabled());
    EXPECT_TRUE(mnuProperties->isEnabled());
    // The status keeps the deleted macro's description until the next selection.
    EXPECT_EQ(Stat1->currentMessage(), "Mail - Advanced Macro");
}

TEST_F(MainWindowForm, NothingIsLeftBlankAtAnySize)
{
    frm.show();
    for (const QSize size : { QSize(413, 316), QSize(600, 500), QSize(413, 60) }) {
        SCOPED_TRACE(size.height());
        frm.resize(size);
        // The design's gaps: 4 pixels above the buttons, 3 below them.
        EXPECT_EQ(cmdHelp->y() - lvMacro->geometry().bottom(), 4);
        EXPECT_EQ(cmdClose->geometry(), QRect(323, cmdHelp->y(), 86, 21));
        EXPECT_EQ(Stat1->y() - cmdHelp->geometry().bottom(), 4);
        EXPECT_EQ(Stat1->geometry().bottom(), frm.height() - 1);
        EXPECT_EQ(lvMacro->width(), frm.width());
        EXPECT_GE(lvMacro->height(), 60) << "the list keeps a few rows";
    }
}

} // namespace
