// SPDX-License-Identifier: GPL-3.0-or-later
#include "MainWindowParts.h"
#include "catalogue/Catalogue.h"
#include "fakes/CatalogueFixture.h"
#include "fakes/FakeViews.h"
#include "fakes/TestSupport.h"
#include "mainwindow/MainWindowModel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quorvel;
using quorvel::testing::CatalogueFolder;
using quorvel::testing::catalogueIni;
using quorvel::testing::FakeShell;
using quorvel::testing::MainWindowParts;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

using Cmd = SelectionCommand;

std::string catalogueOf(int count)
{
    std::vector<std::string> records;
    for (int n = 1; n <= count; ++n)
        records.push_back("Name=M" + std::to_string(n) + "\n");
    return catalogueIni(records);
}

class Deletion : public ::testing::Test, public CatalogueFolder, public MainWindowParts
{
protected:
    Deletion()
        : MainWindowParts(catalogue)
    {
    }

    void start(const std::string &ini)
    {
        writeFile(dir.file("macros.ini"), ini);
        model.setView(view);
        model.setDataFolder(dir.path() + "/");
        model.setFileRemover(shell);
        model.LoadMacroList();
    }

    std::vector<std::string> names()
    {
        std::vector<std::string> result;
        const int count = store.readInteger("Main", "Entries", 0);
        for (int n = 1; n <= count; ++n)
            result.push_back(store.readString(Catalogue::sectionName(n), "Name", "?"));
        return result;
    }

    FakeShell shell;
};

struct PositionCase
{
    const char *name;
    int count;
    int row;
    std::vector<std::string> remaining;
};

class DeletionPositions : public Deletion, public ::testing::WithParamInterface<PositionCase>
{
};

TEST_P(DeletionPositions, LaterRecordsMoveDownAndTheLastSectionGoes)
{
    const auto &c = GetParam();
    start(catalogueOf(c.count));
    view.selected = c.row;
    model.cmdDeleteMacroClick();
    EXPECT_EQ(names(), c.remaining);
    EXPECT_EQ(readFile(dir.file("macros.ini")).find("[Macro" + std::to_string(c.count) + "]"),
        std::string::npos);
    EXPECT_EQ(view.rows.size(), c.remaining.size());
    EXPECT_EQ(services.log.back(), "bind");
    EXPECT_TRUE(errors.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DeletionPositions,
    ::testing::Values(PositionCase { "only", 1, 0, {} },
        PositionCase { "first", 3, 0, { "M2", "M3" } },
        PositionCase { "middle", 4, 1, { "M1", "M3", "M4" } },
        PositionCase { "last", 3, 2, { "M1", "M2" } }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Deletion, TheStepsRunInOrderAndDisableThreeCommands)
{
    start(catalogueOf(2));
    for (auto &[command, on] : view.enabled)
        on = true;
    std::vector<std::string> atBind;
    services.onBind = [&] {
        atBind = names();
        model.LoadMacroList();
    };
    view.selected = 0;
    model.cmdDeleteMacroClick();
    EXPECT_EQ(view.log,
        (std::vector<std::string> {
            "ask Are you sure you want to delete this macro?", "remove row 0" }));
    EXPECT_EQ(shell.log,
        (std::vector<std::string> {
            "remove " + dir.path() + "/M1.key", "remove " + dir.path() + "/M1.dat" }));
    EXPECT_EQ(atBind, (std::vector<std::string> { "M2" }));
    EXPECT_FALSE(view.enabled[Cmd::cmdDeleteMacro]);
    EXPECT_FALSE(view.enabled[Cmd::mnuDelete]);
    EXPECT_FALSE(view.enabled[Cmd::mnuCreateShortcut]);
    EXPECT_TRUE(view.enabled[Cmd::cmdProperties]);
    EXPECT_TRUE(view.enabled[Cmd::mnuProperties]);
    EXPECT_EQ(view.selected, -1);
}

TEST_F(Deletion, NoSelectionAsksNothingAndNoChangesNothing)
{
    start(catalogueOf(2));
    const auto before = readFile(dir.file("macros.ini"));
    model.cmdDeleteMacroClick();
    EXPECT_TRUE(view.log.empty());

    view.selected = 1;
    view.answerYes = false;
    model.mnuDeleteClick();
    EXPECT_EQ(view.log.size(), 1u);
    EXPECT_TRUE(shell.log.empty());
    EXPECT_TRUE(services.log.empty());
    EXPECT_EQ(view.selected, 1);
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(readFile(dir.file("macros.ini")), before);
}

TEST_F(Deletion, MovedRecordsGetAllSevenKeysAndFoundHandleStays)
{
    start(catalogueIni({ "Name=Gone\nType=2\nFoundHandle=11\n", "Name=Bare\nFoundHandle=22\n",
        "Name=Paint\nType=3\nHotKey=16449\nFileName=Paint.dat\nTrigger=Canvas\nTriggerRan=1\nSpeed="
        "2\n" }));
    view.selected = 0;
    model.cmdDeleteMacroClick();
    EXPECT_EQ(readFile(dir.file("macros.ini")),
        "[Main]\nEntries=2\n"
        "[Macro1]\nName=Bare\nType=1\nFoundHandle=11\nHotKey=0\nFileName=\nTrigger=\n"
        "TriggerRan=0\nSpeed=1\n"
        "[Macro2]\nName=Paint\nFoundHandle=22\nType=3\nHotKey=16449\nFileName=Paint.dat\n"
        "Trigger=Canvas\nTriggerRan=1\nSpeed=2\n");
}

// A hand-edited name can hold anything: the record goes, but no file outside the data folder.
TEST_F(Deletion, AnUnsafeOrEmptyNameTakesItsRecordButNoFile)
{
    for (const char *name : { "../../etc/passwd", "" }) {
        SCOPED_TRACE(name);
        shell.log.clear();
        start(std::string("[Main]\nEntries=2\n[Macro1]\nName=") + name + "\n[Macro2]\nName=Kept\n");
        view.selected = 0;
        model.cmdDeleteMacroClick();
        EXPECT_TRUE(shell.log.empty());
        EXPECT_EQ(names(), (std::vector<std::string> { "Kept" }));
    }
}

// The catalogue changed behind the list's back: the row no longer names what its record holds.
TEST_F(Deletion, AChangedRecordIsNotDeletedAndTheListIsReloaded)
{
    const struct
    {
        const char *label;
        std::string changed;
        int row;
    } cases[] = {
        { "shrunk", catalogueOf(2), 2 },
        { "renamed", "[Main]\nEntries=2\n[Macro1]\nName=Other\n[Macro2]\nName=M2\n", 0 },
        { "the next moved up", "[Main]\nEntries=1\n[Macro1]\nName=M2\n", 0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        start(catalogueOf(3));
        writeFile(dir.file("macros.ini"), c.changed);
        const int loads = view.loads;
        errors.shown.clear();
        view.selected = c.row;
        model.cmdDeleteMacroClick();
        EXPECT_TRUE(shell.log.empty());
        EXPECT_EQ(readFile(dir.file("macros.ini")), c.changed);
        EXPECT_EQ(view.loads, loads + 1);
        EXPECT_EQ(errors.shown, std::vector<std::string> { RecordChangedMessage });
    }
}

TEST_F(Deletion, AnUnwritableCatalogueKeepsTheRecordAndItsFiles)
{
    start(catalogueOf(2));
    chmod(dir.file("macros.ini").c_str(), 0444);
    view.selected = 0;
    model.cmdDeleteMacroClick();
    EXPECT_TRUE(shell.log.empty());
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(names(), (std::vector<std::string> { "M1", "M2" }));
    ASSERT_EQ(errors.shown.size(), 1u);
    EXPECT_NE(errors.shown[0].find("Unable to write to"), std::string::npos);
}

TEST_F(Deletion, NegativeEntriesNeverFallFurther)
{
    start("[Main]\nEntries=-1\n[Macro1]\nName=Stray\n");
    view.rows = { MacroListRow { 0, "Stray", "", "", false, "" } };
    view.selected = 0;
    model.cmdDeleteMacroClick();
    EXPECT_EQ(store.readInteger("Main", "Entries", 99), -1);
    EXPECT_EQ(store.readString("Macro1", "Name", ""), "Stray");
}

} // namespace
