// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "catalogue/MacroFiles.h"
#include "catalogue/ProfileStore.h"
#include "fakes/FakeErrorDisplay.h"
#include "fakes/FakeEventPump.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeShell.h"
#include "fakes/TestSupport.h"
#include "shell/AboutBox.h"
#include "shell/TrayModel.h"

#include <cstdio>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::FakeErrorDisplay;
using quorvel::testing::FakeEventPump;
using quorvel::testing::FakeLauncher;
using quorvel::testing::FakeShell;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

// The view and the program behind the tray, every call logged in one order.
class TrayRig : public TrayView, public TrayServices
{
public:
    std::vector<std::string> log;
    bool openEnabled = true;
    bool hintsChecked = false;
    bool startChecked = true;
    int left = 100;

    void setOpenEnabled(bool enabled) override { openEnabled = enabled; }
    void setShowHintsChecked(bool checked) override { hintsChecked = checked; }
    void setStartWithDesktopChecked(bool checked) override { startChecked = checked; }
    void showAbout() override { log.push_back("about"); }

    void restorePlacement() override { log.push_back("restore"); }
    void savePlacement() override { log.push_back("save"); }
    void showMainWindow() override { log.push_back("show"); }
    void raiseMainWindow() override { log.push_back("raise"); }
    void activateMainWindow() override { log.push_back("activate"); }
    int mainWindowLeft() const override { return left; }
    void endProgram() override { log.push_back("end"); }
};

class Tray : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pump.onProcess = [this] { rig.log.push_back("pump"); };
        model.setView(rig);
    }

    void started()
    {
        model.FormCreate();
        model.enableOpen();
    }

    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    FakeErrorDisplay errors;
    FakeEventPump pump;
    FakeLauncher launcher;
    FakeShell shell;
    TrayRig rig;
    TrayModel model { TrayDependencies { store, errors, pump, launcher, &shell, &shell, rig } };
};

// The menu as a flat outline: "-" for separators, a submenu's items indented.
void outline(const std::vector<TrayMenuItem> &items, const std::string &indent,
    std::vector<std::string> &out)
{
    for (const auto &item : items) {
        out.push_back(indent + item.name + " " + (item.separator() ? "-" : item.caption)
            + (item.checkable ? " [check]" : ""));
        outline(item.items, indent + "  ", out);
    }
}

TEST(TrayMenu, ItemsSubmenusAndSeparatorsInOrder)
{
    std::vector<std::string> lines;
    outline(trayMenu(), "", lines);
    const std::vector<std::string> expected {
        "Open1 &Open",
        "mnuPrintMacros &Print Macro List",
        "Help1 &Help",
        "  mnuOperation &Operation",
        "  mnuShowHints &Show Hints [check]",
        "  N6 &Frequently Asked Questions",
        "  N5 &Technical Support",
        "  N4 -",
        "  N3 &About...",
        "N2 -",
        "mnuWebSite &Visit Ostrin on the Web...",
        "  M1 Main Site (www.ostrin.example)",
        "  U1 Upgrade Quorvel",
        "  O2 Other Products",
        "  T1 Technical Support",
        "N1 -",
        "mnuStartWithDesktop Start with the Desktop [check]",
        "mnuClose &Exit",
    };
    EXPECT_EQ(lines, expected);
}

TEST(TrayTip, CutTo63Characters)
{
    const std::string eighty(80, 'x');
    EXPECT_EQ(cutTip(eighty), std::string(63, 'x'));
    EXPECT_EQ(cutTip(std::string(63, 'y')), std::string(63, 'y'));
    EXPECT_EQ(cutTip(""), "");
    EXPECT_EQ(cutTip(tray::Tip), "Ostrin Quorvel - Right Click for Options");
}

struct OpenCase
{
    const char *name;
    bool started;
    void (TrayModel::*event)();
    TrayHost host;
    std::vector<std::string> expected;
};

class TrayOpen : public Tray, public ::testing::WithParamInterface<OpenCase>
{
};

TEST_P(TrayOpen, OpensOnlyAfterStartUp)
{
    const auto &c = GetParam();
    model.FormCreate();
    EXPECT_FALSE(rig.openEnabled);
    if (c.started) {
        model.enableOpen();
        EXPECT_TRUE(rig.openEnabled);
    }
    model.setHost(c.host);
    (model.*c.event)();
    EXPECT_EQ(rig.log, c.expected);
}

const std::vector<std::string> nothing;
const std::vector<std::string> opened { "restore", "show", "raise" };
const std::vector<std::string> openedActive { "restore", "show", "pump", "activate" };

INSTANTIATE_TEST_SUITE_P(Cases, TrayOpen,
    ::testing::Values(
        OpenCase { "MenuBeforeStartUp", false, &TrayModel::Open1Click, TrayHost::XEmbed, nothing },
        OpenCase { "MenuAfterStartUp", true, &TrayModel::Open1Click, TrayHost::XEmbed, opened },
        OpenCase { "DoubleClickBeforeStartUp", false, &TrayModel::TrayIcon1DblClick,
            TrayHost::XEmbed, nothing },
        OpenCase { "DoubleClickAfterStartUp", true, &TrayModel::TrayIcon1DblClick, TrayHost::XEmbed,
            openedActive },
        OpenCase { "ClickOnXEmbed", true, &TrayModel::TrayIcon1Click, TrayHost::XEmbed, nothing },
        OpenCase { "ActivationOnStatusNotifier", true, &TrayModel::TrayIcon1Click,
            TrayHost::StatusNotifier, openedActive },
        OpenCase { "ActivationOnStatusNotifierBeforeStartUp", false, &TrayModel::TrayIcon1Click,
            TrayHost::StatusNotifier, nothing }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Tray, OpenChosenByNameFollowsTheSameRule)
{
    model.FormCreate();
    model.choose("Open1");
    EXPECT_TRUE(rig.log.empty());
    model.enableOpen();
    model.choose("Open1");
    EXPECT_EQ(rig.log, opened);
}

struct HintsCase
{
    const char *name;
    const char *ini; // empty: no catalogue yet
    bool checkedAtStart;
};

class TrayHints : public Tray, public ::testing::WithParamInterface<HintsCase>
{
};

TEST_P(TrayHints, ReadAtStartWrittenOnEveryToggle)
{
    const auto &c = GetParam();
    if (*c.ini)
        writeFile(dir.file("macros.ini"), c.ini);
    model.FormCreate();
    EXPECT_EQ(rig.hintsChecked, c.checkedAtStart);

    model.choose("mnuShowHints");
    EXPECT_EQ(rig.hintsChecked, !c.checkedAtStart);
    EXPECT_EQ(
        store.readBool(settings::Main, settings::ShowHints, c.checkedAtStart), !c.checkedAtStart);

    model.choose("mnuShowHints");
    EXPECT_EQ(rig.hintsChecked, c.checkedAtStart);
    EXPECT_EQ(
        store.readBool(settings::Main, settings::ShowHints, !c.checkedAtStart), c.checkedAtStart);
    EXPECT_TRUE(errors.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, TrayHints,
    ::testing::Values(HintsCase { "NoCatalogue", "", true },
        HintsCase { "KeyMissing", "[Main]\nEntries=0\n", true },
        HintsCase { "Off", "[Main]\nShow Hints=0\n", false },
        HintsCase { "On", "[Main]\nShow Hints=1\n", true }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Tray, HintWindowUntickedWritesTickedOnlyTicks)
{
    writeFile(dir.file("macros.ini"), "[Main]\nShow Hints=0\n");
    model.FormCreate();
    model.hintWindowClosed(true);
    EXPECT_TRUE(rig.hintsChecked);
    EXPECT_EQ(readFile(dir.file("macros.ini")), "[Main]\nShow Hints=0\n");

    model.hintWindowClosed(false);
    EXPECT_FALSE(rig.hintsChecked);
    EXPECT_FALSE(store.readBool(settings::Main, settings::ShowHints, true));
}

// "Start with the Desktop" over a real autostart folder; autostart: where the entry goes.
struct AutostartCase
{
    const char *name;
    std::string autostart;
    std::vector<std::string> clicks; // "click", "made by hand", "removed by hand", "menu"
    bool checked;
    std::size_t errors;
};

class TrayAutostart : public Tray, public ::testing::WithParamInterface<AutostartCase>
{
};

TEST_P(TrayAutostart, TheMarkSaysWhetherTheEntryExists)
{
    const auto &c = GetParam();
    writeFile(dir.file("file"), "");
    AutostartEntry entry { c.autostart.empty() ? "" : dir.file(c.autostart),
        "/opt/q tools/quorvel" };
    TrayModel tray { TrayDependencies {
        store, errors, pump, launcher, nullptr, nullptr, rig, &entry } };
    tray.setView(rig);
    tray.FormCreate();
    EXPECT_FALSE(rig.startChecked) << "off by default";
    for (const auto &step : c.clicks) {
        if (step == "click") {
            tray.choose("mnuStartWithDesktop");
        } else if (step == "made by hand") {
            makeFolders(dir.file(c.autostart));
            writeFile(entry.file(), "[Desktop Entry]\n");
        } else if (step == "removed by hand") {
            std::remove(entry.file().c_str());
        } else {
            tray.refreshStartWithDesktop();
        }
    }
    EXPECT_EQ(rig.startChecked, c.checked);
    EXPECT_EQ(tray.startWithDesktop(), c.checked);
    EXPECT_EQ(entry.exists(), c.checked);
    EXPECT_EQ(errors.shown.size(), c.errors);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrayAutostart,
    ::testing::Values(AutostartCase { "CheckWrites", "autostart", { "click" }, true, 0 },
        AutostartCase { "UncheckRemoves", "autostart", { "click", "click" }, false, 0 },
        AutostartCase { "MadeByHandShowsOnOpen", "autostart", { "made by hand", "menu" }, true, 0 },
        AutostartCase { "RemovedByHandShowsOnOpen", "autostart",
            { "click", "removed by hand", "menu" }, false, 0 },
        AutostartCase { "UncheckAfterRemovalByHand", "autostart",
            { "click", "removed by hand", "click" }, false, 0 },
        AutostartCase { "FolderIsAFile", "file", { "click" }, false, 1 },
        AutostartCase { "NoHome", "", { "click" }, false, 1 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Tray, TheAutostartEntryStartsThisProgramHidden)
{
    AutostartEntry entry { dir.file("autostart"), "/opt/q tools/quorvel" };
    EXPECT_EQ(entry.file(), dir.file("autostart/example.ostrin.Quorvel.desktop"));
    entry.write();
    const auto text = readFile(entry.file());
    for (const char *line : { "[Desktop Entry]\n", "\nType=Application\n", "\nName=Quorvel\n",
             "\nExec=\"/opt/q tools/quorvel\"\n", "\nIcon=example.ostrin.Quorvel\n" })
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
    // Anything after the program would be taken for a macro to run.
    EXPECT_EQ(text.find("quorvel\" "), std::string::npos);
}

TEST_F(Tray, HintsToggleThatCannotBeWrittenLeavesTheItemAsItWas)
{
    TempDir other;
    // A file where the folder should be: nothing can be written below it.
    writeFile(other.file("gone"), "");
    ProfileStore missing { other.file("gone/macros.ini") };
    TrayModel broken { TrayDependencies {
        missing, errors, pump, launcher, nullptr, nullptr, rig } };
    broken.setView(rig);
    broken.FormCreate();
    ASSERT_TRUE(rig.hintsChecked);
    broken.mnuShowHintsClick();
    EXPECT_EQ(errors.shown.size(), 1u);
    EXPECT_TRUE(rig.hintsChecked);
    EXPECT_TRUE(broken.showHints());
}

struct ItemCase
{
    const char *item;
    std::vector<std::string> shell; // what the help and the printer saw
    std::string url; // what the launcher opened, if anything
    std::vector<std::string> rig;
};

class TrayItems : public Tray, public ::testing::WithParamInterface<ItemCase>
{
};

TEST_P(TrayItems, ReachTheirPeers)
{
    const auto &c = GetParam();
    started();
    model.choose(c.item);
    EXPECT_EQ(shell.log, c.shell);
    if (c.url.empty()) {
        EXPECT_TRUE(launcher.calls.empty());
    } else {
        ASSERT_EQ(launcher.calls.size(), 1u);
        EXPECT_EQ(launcher.calls[0], (FakeLauncher::Call { c.url, "", "" }));
    }
    EXPECT_EQ(rig.log, c.rig);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrayItems,
    ::testing::Values(ItemCase { "mnuPrintMacros", { "print" }, "", {} },
        ItemCase { "mnuOperation", { "help Operation" }, "", {} },
        ItemCase { "N6", { "help FAQ" }, "", {} },
        ItemCase { "N5", {}, "https://www.ostrin.example/support/", {} },
        ItemCase { "N3", {}, "", { "about" } },
        ItemCase { "M1", {}, "https://www.ostrin.example/", {} },
        ItemCase { "U1", {}, "https://www.ostrin.example/upgrade/", {} },
        ItemCase { "O2", {}, "https://www.ostrin.example/products/", {} },
        ItemCase { "T1", {}, "https://www.ostrin.example/support/", {} },
        ItemCase { "Help1", {}, "", {} }, ItemCase { "N2", {}, "", {} },
        ItemCase { "nonsense", {}, "", {} }),
    [](const auto &info) { return std::string(info.param.item); });

TEST_F(Tray, WithoutHelpOrPrinterTheirItemsDoNothing)
{
    TrayModel bare { TrayDependencies { store, errors, pump, launcher, nullptr, nullptr, rig } };
    bare.setView(rig);
    bare.FormCreate();
    for (const char *item : { "mnuPrintMacros", "mnuOperation", "N6" })
        bare.choose(item);
    EXPECT_TRUE(rig.log.empty());
    EXPECT_TRUE(errors.shown.empty());
}

struct ExitCase
{
    const char *name;
    int left;
    std::vector<std::string> expected;
};

class TrayExit : public Tray, public ::testing::WithParamInterface<ExitCase>
{
};

TEST_P(TrayExit, SavesThePlacementUnlessParked)
{
    started();
    rig.left = GetParam().left;
    model.choose("mnuClose");
    EXPECT_EQ(rig.log, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrayExit,
    ::testing::Values(ExitCase { "Left100", 100, { "save", "end" } },
        ExitCase { "Parked", -2000, { "end" } },
        ExitCase { "JustBesideParked", -1999, { "save", "end" } },
        ExitCase { "FarLeft", -5000, { "save", "end" } }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Tray, ExitWorksBeforeStartUpHasFinished)
{
    model.FormCreate();
    model.choose("mnuClose");
    EXPECT_EQ(rig.log, (std::vector<std::string> { "save", "end" }));
}

struct MemCase
{
    const char *name;
    const char *meminfo;
    AboutFigures expected;
};

class AboutMemory : public ::testing::TestWithParam<MemCase>
{
};

TEST_P(AboutMemory, FiguresFromMeminfo)
{
    EXPECT_EQ(aboutFigures(GetParam().meminfo), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, AboutMemory,
    ::testing::Values(MemCase { "Typical",
                          "MemTotal:       16384000 kB\nMemFree:         1000000 kB\n"
                          "MemAvailable:    4096000 kB\nBuffers:          200000 kB\n",
                          { "16,384,000 KB", "25% Free" } },
        MemCase { "RoundsDown", "MemTotal: 3 kB\nMemAvailable: 2 kB\n", { "3 KB", "66% Free" } },
        MemCase { "OlderKernelUsesMemFree", "MemTotal: 1000 kB\nMemFree: 500 kB\n",
            { "1,000 KB", "50% Free" } },
        MemCase { "AvailableAboveTotalCapped", "MemTotal: 100 kB\nMemAvailable: 150 kB\n",
            { "100 KB", "100% Free" } },
        MemCase { "LookalikeKeysIgnored",
            "MemTotalX: 5 kB\nSwapTotal: 9 kB\nMemTotal: 999 kB\nMemAvailable: 0 kB\n",
            { "999 KB", "0% Free" } },
        MemCase { "Unreadable", "", { "0 KB", "100% Free" } },
        MemCase { "Garbage", "MemTotal: lots\nMemAvailable: some\n", { "0 KB", "100% Free" } },
        MemCase { "NoTrailingNewline", "MemAvailable: 1 kB\nMemTotal: 1234567890",
            { "1,234,567,890 KB", "0% Free" } }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(AboutMemory, GroupsThousands)
{
    const std::pair<std::uint64_t, const char *> cases[] = {
        { 0, "0 KB" },
        { 999, "999 KB" },
        { 1000, "1,000 KB" },
        { 100000, "100,000 KB" },
        { 1000000, "1,000,000 KB" },
        { 18446744073709551615ull, "18,446,744,073,709,551,615 KB" },
    };
    for (const auto &[kb, text] : cases)
        EXPECT_EQ(formatKilobytes(kb), text) << kb;
}

TEST(AboutMemory, ThisMachineReportsSomething)
{
    const auto figures = readAboutFigures();
    EXPECT_NE(figures.physicalMemory, "0 KB");
    EXPECT_NE(figures.systemResources.find("% Free"), std::string::npos);
}

} // namespace
