// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowParts.h"
#include "catalogue/Catalogue.h"
#include "common/Error.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeViews.h"
#include "fakes/TestSupport.h"
#include "mainwindow/MainWindowModel.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::FakeShell;
using quorvel::testing::MainWindowParts;

namespace {

using Cmd = SelectionCommand;

// A main window whose help, shortcuts and printing are not built.
class BareMainWindow : public ::testing::Test, public CatalogueFolder, public MainWindowParts
{
protected:
    BareMainWindow()
        : MainWindowParts(catalogue)
    {
    }
};

class MainWindowCommands : public BareMainWindow
{
protected:
    void SetUp() override
    {
        writeCatalogue({ "Name=Mail\nType=4\n", "Name=Editor\nType=2\n", "Name=Paint\nType=3\n" });
        model.setView(view);
        model.setHelpViewer(shell);
        model.setShortcutMaker(shell);
        model.setListPrinter(shell);
        model.LoadMacroList();
    }

    FakeShell shell;
};

// One selection event: which, with the list's selection, focus and foreground at that moment.
struct Event
{
    char kind; // 'c' click, 'm' mouse release, 'k' key release
    int selected;
    int focused = -1;
    bool foreground = true;
};

struct SelectionCase
{
    const char *name;
    int rows;
    std::vector<Event> events;
    std::string status;
    // Delete button, Edit button, Delete item, Create Shortcut item, Properties item.
    std::array<bool, 5> enabled;
};

class SelectionStates : public MainWindowCommands,
                        public ::testing::WithParamInterface<SelectionCase>
{
};

TEST_P(SelectionStates, EachEventSetsItsOwnCommands)
{
    const auto &c = GetParam();
    view.rows.resize(std::size_t(c.rows));
    view.status = "before";
    for (const auto &e : c.events) {
        view.selected = e.selected;
        view.focused = e.focused;
        view.foreground = e.foreground;
        if (e.kind == 'c')
            model.lvMacroClick();
        else if (e.kind == 'm')
            model.lvMacroMouseUp();
        else
            model.lvMacroKeyUp();
    }
    EXPECT_EQ(view.status, c.status);
    const std::array<bool, 5> enabled { view.enabled[Cmd::cmdDeleteMacro],
        view.enabled[Cmd::cmdProperties], view.enabled[Cmd::mnuDelete],
        view.enabled[Cmd::mnuCreateShortcut], view.enabled[Cmd::mnuProperties] };
    EXPECT_EQ(enabled, c.enabled);
}

constexpr std::array<bool, 5> kNone { false, false, false, false, false };
constexpr std::array<bool, 5> kAll { true, true, true, true, true };
constexpr std::array<bool, 5> kAllButEdit { true, false, true, true, true };
constexpr std::array<bool, 5> kOnlyEdit { false, true, false, false, false };

INSTANTIATE_TEST_SUITE_P(Events, SelectionStates,
    ::testing::Values(SelectionCase { "freshWindowKeys", 3, { { 'k', 1 } },
                          "Editor - Plays back Keystrokes", kNone },
        SelectionCase {
            "clickLeavesEdit", 3, { { 'c', 0 } }, "Mail - Advanced Macro", kAllButEdit },
        SelectionCase { "clickThenRelease", 3, { { 'c', 2 }, { 'm', 2, 2 } },
            "Paint - Plays back Mouse and Keyboard", kAll },
        SelectionCase { "releaseWithoutFocusedRow", 3, { { 'm', 1, -1 } }, "before", kNone },
        SelectionCase { "releaseWithoutSelection", 3, { { 'm', -1, 1 } }, "before", kNone },
        SelectionCase { "clickOnNothingKeepsEdit", 3, { { 'c', 0 }, { 'm', 0, 0 }, { 'c', -1 } },
            "", kOnlyEdit },
        SelectionCase { "emptyListClick", 0, { { 'c', -1 } }, "", kNone },
        SelectionCase { "arrowAfterClickMovesStatusOnly", 3,
            { { 'c', 0 }, { 'm', 0, 0 }, { 'k', 2, 2 } }, "Paint - Plays back Mouse and Keyboard",
            kAll },
        SelectionCase { "keysInBackgroundIgnored", 3, { { 'c', 0 }, { 'k', 1, 1, false } },
            "Mail - Advanced Macro", kAllButEdit },
        SelectionCase { "keysWithoutSelection", 3, { { 'c', 0 }, { 'k', -1 } },
            "Mail - Advanced Macro", kAllButEdit }),
    [](const auto &info) { return std::string(info.param.name); });

struct StatusCase
{
    const char *name;
    const char *record; // the keys of [Macro1]
    std::string status;
    int image;
};

class StatusTexts : public BareMainWindow, public ::testing::WithParamInterface<StatusCase>
{
};

// A missing or unknown Type names no kind: no suffix, and the image of kind 1.
TEST_P(StatusTexts, NameAndSuffixByType)
{
    writeCatalogue({ GetParam().record });
    show();
    view.selected = 0;
    model.lvMacroClick();
    EXPECT_EQ(view.status, GetParam().status);
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0].imageIndex, GetParam().image);
}

INSTANTIATE_TEST_SUITE_P(Types, StatusTexts,
    ::testing::Values(
        StatusCase { "launch", "Name=A\nType=1\n", "A - Starts an Application or Document", 0 },
        StatusCase { "keys", "Name=A\nType=2\n", "A - Plays back Keystrokes", 1 },
        StatusCase { "mouse", "Name=A\nType=3\n", "A - Plays back Mouse and Keyboard", 2 },
        StatusCase { "advanced", "Name=A\nType=4\n", "A - Advanced Macro", 1 },
        StatusCase { "zero", "Name=A\nType=0\n", "A", 0 },
        StatusCase { "five", "Name=A\nType=5\n", "A", 0 },
        StatusCase { "missing", "Name=A\n", "A", 0 },
        StatusCase { "noName", "Type=2\n", " - Plays back Keystrokes", 1 },
        StatusCase { "notANumber", "Name=A\nType=x\n", "A", 0 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MainWindowCommands, StatusIsReadAfreshFromTheCatalogue)
{
    store.writeString("Macro2", "Name", "Renamed");
    view.selected = 1;
    model.lvMacroClick();
    EXPECT_EQ(view.status, "Renamed - Plays back Keystrokes");
    EXPECT_EQ(view.rows[1].caption, "Editor"); // the list waits for the next reload
}

// Where a feature does not work the status bar names it whenever no macro is selected; on a
// full desktop it stays as it was.
TEST_F(BareMainWindow, TheStatusBarNamesWhatTheDesktopLacks)
{
    writeCatalogue({ "Name=Mail\nType=4\n" });
    SessionOffer weston;
    weston.kind = SessionKind::Wayland;
    weston.reachable = true;
    SessionOffer x11 = weston;
    x11.kind = SessionKind::X11;
    x11.xtest = true;
    const struct
    {
        const char *desktop;
        SessionOffer offer;
        std::string status;
    } cases[] = {
        { "a full X11 desktop",
            [&] {
                SessionOffer full = x11;
                full.record = true;
                return full;
            }(),
            "" },
        { "X11 without RECORD", x11,
            "Not on this desktop: replay, recording. See \"Where Quorvel works\" in the help." },
        { "a compositor with none of the protocols", weston,
            "Not on this desktop: typing, hot keys, window triggers, focus, replay, recording. "
            "See \"Where Quorvel works\" in the help." },
        { "GNOME without Quorvel's extension",
            [&] {
                SessionOffer gnome = weston;
                gnome.desktop = WaylandDesktopKind::Gnome;
                gnome.remoteDesktopPortal = 1;
                gnome.shellExtension = ShellExtension::Disabled;
                return gnome;
            }(),
            "Not on this desktop: hot keys, window triggers, focus, replay, recording. Quorvel's "
            "GNOME Shell extension is not enabled: run gnome-extensions enable "
            "quorvel@ostrin.example." },
    };
    for (const auto &c : cases) {
        MainWindowParts parts(catalogue);
        parts.view.status = "<unset>";
        parts.model.setDesktopLimits(desktopLimits(c.offer));
        parts.show();
        const std::string atStart = c.status.empty() ? "<unset>" : c.status;
        EXPECT_EQ(parts.view.status, atStart) << c.desktop;
        parts.view.selected = 0;
        parts.model.lvMacroClick();
        EXPECT_EQ(parts.view.status, "Mail - Advanced Macro") << c.desktop;
        parts.view.selected = -1;
        parts.model.lvMacroClick();
        EXPECT_EQ(parts.view.status, c.status) << c.desktop;
    }
}

struct ResizeCase
{
    int outer;
    MainWindowLayout layout;
};

class Resizing : public BareMainWindow, public ::testing::WithParamInterface<ResizeCase>
{
};

TEST_P(Resizing, ListAndButtonsFollowTheOuterHeightWithoutLowerLimit)
{
    EXPECT_EQ(layoutForOuterHeight(GetParam().outer), GetParam().layout);
    model.setView(view);
    view.outer = GetParam().outer;
    model.FormResize();
    EXPECT_EQ(view.layout, GetParam().layout);
}

INSTANTIATE_TEST_SUITE_P(Heights, Resizing,
    ::testing::Values(ResizeCase { 343, { 232, 272 } }, ResizeCase { 200, { 89, 129 } },
        ResizeCase { 600, { 489, 529 } }, ResizeCase { 80, { -31, 9 } },
        ResizeCase { 0, { -111, -71 } }));

TEST_F(MainWindowCommands, EditorsRunWithHotKeysInertAndOnlyForASelectedRow)
{
    bool editingSeen = false;
    view.onEditor = [&] { editingSeen = services.editing; };
    model.cmdPropertiesClick();
    model.mnuPropertiesClick();
    model.lvMacroDblClick();
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(services.log.empty());

    view.selected = 1;
    model.lvMacroDblClick();
    model.mnuPropertiesClick();
    view.selected = 2;
    model.cmdPropertiesClick();
    view.selected = -1;
    model.cmdNewClick();
    model.mnuNewClick();
    EXPECT_EQ(view.log,
        (std::vector<std::string> {
            "properties 2", "properties 2", "properties 3", "wizard", "wizard" }));
    EXPECT_TRUE(editingSeen);
    EXPECT_FALSE(services.editing);
    EXPECT_EQ(std::count(services.log.begin(), services.log.end(), "editing on"), 5);
}

TEST_F(MainWindowCommands, NoSecondEditorOpensWhileOneIsOpen)
{
    view.selected = 0;
    view.onEditor = [this] {
        view.onEditor = nullptr;
        model.lvMacroDblClick();
        model.cmdNewClick();
        EXPECT_TRUE(services.editing);
    };
    model.lvMacroDblClick();
    EXPECT_EQ(view.log, std::vector<std::string> { "properties 1" });
    EXPECT_FALSE(services.editing);
}

TEST_F(MainWindowCommands, AFailingEditorStillEndsEditingAndIsShownOnce)
{
    view.onEditor = [] { throw Error("Cannot open file x.key"); };
    view.selected = 0;
    model.cmdPropertiesClick();
    EXPECT_FALSE(services.editing);
    EXPECT_EQ(errors.shown, (std::vector<std::string> { "Cannot open file x.key" }));
}

TEST_F(MainWindowCommands, HelpOnF1AndTheHelpButtonOnly)
{
    model.FormKeyUp(113);
    model.FormKeyUp(0);
    model.FormKeyUp(MainWindowModel::KeyF1);
    model.cmdHelpClick();
    EXPECT_EQ(shell.log, (std::vector<std::string> { "help Operation", "help Operation" }));
}

TEST_F(MainWindowCommands, ShortcutsGoToTheirFoldersForTheSelectedRecord)
{
    model.mnuDesktopClick(); // nothing selected
    view.selected = 1;
    model.mnuDesktopClick();
    model.mnuStartMenuClick();
    model.mnuProgramsMenuClick();
    model.mnuStartUpFolderClick();
    model.mnuFavoritesClick();
    model.mnuPersonalClick();
    model.mnuPrintClick();
    EXPECT_EQ(shell.log,
        (std::vector<std::string> { "shortcut 1 2", "shortcut 8 2", "shortcut 5 2", "shortcut 9 2",
            "shortcut 2 2", "shortcut 4 2", "print" }));
}

TEST_F(BareMainWindow, CommandsOfPartsNotBuiltDoNothing)
{
    model.setView(view);
    view.selected = 0;
    model.cmdHelpClick();
    model.mnuDesktopClick();
    model.mnuPrintClick();
    EXPECT_TRUE(errors.shown.empty());
    EXPECT_TRUE(services.log.empty());
}

} // namespace
