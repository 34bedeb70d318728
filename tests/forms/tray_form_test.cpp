// SPDX-License-Identifier: GPL-3.0-or-later
#include "FormChildren.h"
#include "app/ApplicationFormModel.h"
#include "app/forms/TQuorvel.h"
#include "catalogue/Catalogue.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeViews.h"
#include "fakes/TestSupport.h"
#include "mainwindow/MainWindowModel.h"
#include "shell/forms/TAboutBox.h"

#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <cstdio>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::child;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeEventPump;
using quorvel::testing::FakeLauncher;
using quorvel::testing::FakeServices;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

QSystemTrayIcon *trayIcon(const TQuorvel &form)
{
    return child<QSystemTrayIcon>(form, "TrayIcon1");
}

class OpenLog : public TrayServices
{
public:
    std::vector<std::string> log;
    void restorePlacement() override { log.push_back("restore"); }
    void savePlacement() override { log.push_back("save"); }
    void showMainWindow() override { log.push_back("show"); }
    void raiseMainWindow() override { log.push_back("raise"); }
    void activateMainWindow() override { log.push_back("activate"); }
    int mainWindowLeft() const override { return 0; }
    void endProgram() override { log.push_back("end"); }
};

class TrayForm : public ::testing::Test, public CatalogueFolder
{
protected:
    void SetUp() override { writeFile(dir.file("macros.ini"), "[Main]\nShow Hints=0\n"); }

    // The menu's texts as a person sees them, submenus indented.
    static void texts(const QMenu *menu, const QString &indent, QStringList &out)
    {
        for (QAction *action : menu->actions()) {
            out << indent + (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (action->menu())
                texts(action->menu(), indent + QStringLiteral("  "), out);
        }
    }

    FakeErrorDisplay errors;
    FakeServices services;
    FakeEventPump pump;
    FakeLauncher launcher;
    OpenLog peers;
    MainWindowModel mainModel { catalogue, errors, services };
    ApplicationFormModel quorvelModel { mainModel, catalogue, errors, pump, services };
    TrayModel tray { TrayDependencies { store, errors, pump, launcher, nullptr, nullptr, peers } };
};

TEST_F(TrayForm, IconTipAndMenu)
{
    TQuorvel form(quorvelModel, tray);
    EXPECT_EQ(trayIcon(form)->toolTip(), "Ostrin Quorvel - Right Click for Options");
    EXPECT_FALSE(trayIcon(form)->icon().isNull());
    EXPECT_EQ(trayIcon(form)->contextMenu()->objectName(), "PopupMenu1");
    QStringList lines;
    texts(trayIcon(form)->contextMenu(), QString(), lines);
    EXPECT_EQ(lines.join(QLatin1Char('|')).toStdString(),
        "&Open|&Print Macro List|&Help|  &Operation|  &Show Hints|  &Frequently Asked Questions|"
        "  &Technical Support|  -|  &About...|-|&Visit Ostrin on the Web...|"
        "  Main Site (www.ostrin.example)|  Upgrade Quorvel|  Other Products|  Technical Support|"
        "-|Start with the Desktop|&Exit");
}

TEST_F(TrayForm, OpenEnabledAfterStartUpAndHintsFollowTheCatalogue)
{
    TQuorvel form(quorvelModel, tray);
    tray.FormCreate();
    QAction *open = form.menuItem(QStringLiteral("Open1"));
    QAction *hints = form.menuItem(QStringLiteral("mnuShowHints"));
    ASSERT_TRUE(open && hints);
    EXPECT_FALSE(open->isEnabled());
    EXPECT_TRUE(hints->isCheckable());
    EXPECT_FALSE(hints->isChecked());

    open->trigger(); // a disabled action does not fire
    EXPECT_TRUE(peers.log.empty());
    tray.enableOpen();
    EXPECT_TRUE(open->isEnabled());
    open->trigger();
    EXPECT_EQ(peers.log, (std::vector<std::string> { "restore", "show", "raise" }));

    hints->trigger();
    EXPECT_TRUE(hints->isChecked());
    EXPECT_TRUE(store.readBool("Main", "Show Hints", false));
    hints->trigger();
    EXPECT_FALSE(hints->isChecked());
    EXPECT_FALSE(store.readBool("Main", "Show Hints", true));
}

TEST_F(TrayForm, StartWithTheDesktopFollowsTheAutostartEntry)
{
    AutostartEntry entry { dir.file("autostart"), "/usr/bin/quorvel" };
    TrayModel withEntry { TrayDependencies {
        store, errors, pump, launcher, nullptr, nullptr, peers, &entry } };
    TQuorvel form(quorvelModel, withEntry);
    withEntry.FormCreate();
    QAction *item = form.menuItem(QStringLiteral("mnuStartWithDesktop"));
    ASSERT_TRUE(item);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(trayIcon(form)->contextMenu())
                  ->child(static_cast<int>(trayIcon(form)->contextMenu()->actions().indexOf(item)))
                  ->text(QAccessible::Name),
        "Start with the Desktop");
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(entry.exists());
    std::remove(entry.file().c_str());
    emit trayIcon(form)->contextMenu()->aboutToShow();
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(errors.shown.empty());
}

TEST_F(TrayForm, ClicksOfTheIconFollowTheHost)
{
    TQuorvel form(quorvelModel, tray);
    tray.FormCreate();
    tray.enableOpen();
    tray.setHost(TrayHost::XEmbed);
    emit trayIcon(form)->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(peers.log.empty());
    emit trayIcon(form)->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(peers.log, (std::vector<std::string> { "restore", "show", "activate" }));
    peers.log.clear();
    tray.setHost(TrayHost::StatusNotifier);
    emit trayIcon(form)->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(peers.log, (std::vector<std::string> { "restore", "show", "activate" }));
}

TEST_F(TrayForm, WebItemOpensThroughTheLauncher)
{
    TQuorvel form(quorvelModel, tray);
    form.menuItem(QStringLiteral("U1"))->trigger();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].file, "https://www.ostrin.example/upgrade/");
}

TEST(AboutBoxForm, FiguresAreNamedValueLabels)
{
    TAboutBox box(AboutFigures { "16,384,000 KB", "25% Free" });
    EXPECT_EQ(box.windowTitle(), "About Quorvel");
    EXPECT_TRUE(box.isModal());
    EXPECT_TRUE(child<QLabel>(box, "ProductName")
                    ->text()
                    .startsWith(QStringLiteral("Ostrin Quorvel Version ")));
    EXPECT_EQ(child<QLabel>(box, "PhysMem")->accessibleName(), "Physical Memory");
    EXPECT_EQ(child<QLabel>(box, "PhysMem")->accessibleDescription(), "16,384,000 KB");
    EXPECT_EQ(child<QLabel>(box, "FreeRes")->accessibleName(), "System Resources");
    EXPECT_EQ(child<QLabel>(box, "FreeRes")->accessibleDescription(), "25% Free");
    EXPECT_FALSE(child<QLabel>(box, "ProgramIcon")->pixmap().isNull());
    bool labels = false;
    for (auto *label : box.findChildren<QLabel *>())
        labels |= label->text() == "Physical memory available to Windows:";
    EXPECT_TRUE(labels);
    box.show();
    child<QPushButton>(box, "OKButton")->click();
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_FALSE(box.isVisible());
}

} // namespace
