// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "catalogue/HotKeyValue.h"
#include "catalogue/LaunchDescription.h"
#include "catalogue/MacroFiles.h"
#include "catalogue/MacroList.h"
#include "catalogue/Paths.h"
#include "fakes/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quorvel;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

struct HotKeyCase
{
    unsigned value;
    const char *text;
};

class HotKeyTexts : public ::testing::TestWithParam<HotKeyCase>
{
};

TEST_P(HotKeyTexts, DisplayText)
{
    const auto platform = [](int key) -> std::string {
        if (key == 0xBC)
            return ",";
        if (key == 0xBA)
            return "semicolon"; // longer than one character: no name
        return {};
    };
    EXPECT_EQ(hotKeyText(GetParam().value, platform), GetParam().text) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Encoding, HotKeyTexts,
    ::testing::Values(HotKeyCase { 0, "" }, HotKeyCase { 49217, "Ctrl+Alt+A" },
        HotKeyCase { 49268, "Ctrl+Alt+F5" }, HotKeyCase { 24699, "Shift+Ctrl+F12" },
        HotKeyCase { 0x4041, "Ctrl+A" }, HotKeyCase { 0x2008, "Shift+BkSp" },
        HotKeyCase { 0x0D, "Enter" }, HotKeyCase { 0x1B, "Esc" }, HotKeyCase { 0x20, "Space" },
        HotKeyCase { 0x28, "Down" }, HotKeyCase { 0x2D, "Ins" }, HotKeyCase { 0x2E, "Del" },
        HotKeyCase { 0x8030, "Alt+0" }, HotKeyCase { 0x4065, "Ctrl+5" }, HotKeyCase { 0x87, "F24" },
        HotKeyCase { 0x40BC, "Ctrl+," }, HotKeyCase { 0x40BA, "" }, HotKeyCase { 0xC0FF, "" },
        HotKeyCase { 0x10000 + 0x41, "A" }));

class HotKeyTextsWithoutLayout : public ::testing::TestWithParam<HotKeyCase>
{
};

// Without a display there is no layout to ask: the US layout names the punctuation keys.
TEST_P(HotKeyTextsWithoutLayout, DisplayText)
{
    EXPECT_EQ(hotKeyText(GetParam().value), GetParam().text) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Encoding, HotKeyTextsWithoutLayout,
    ::testing::Values(HotKeyCase { 0x40BA, "Ctrl+;" }, HotKeyCase { 0xBB, "=" },
        HotKeyCase { 0x80BC, "Alt+," }, HotKeyCase { 0xBD, "-" }, HotKeyCase { 0xBE, "." },
        HotKeyCase { 0x60BF, "Shift+Ctrl+/" }, HotKeyCase { 0xC0, "`" }, HotKeyCase { 0xDB, "[" },
        HotKeyCase { 0x40DC, "Ctrl+\\" }, HotKeyCase { 0xDD, "]" }, HotKeyCase { 0xDE, "'" },
        HotKeyCase { 0x4041, "Ctrl+A" }, HotKeyCase { 0x40E2, "" }, HotKeyCase { 0x90, "" },
        HotKeyCase { 0xFF, "" }));

struct LaunchCase
{
    const char *stored;
    const char *program;
    const char *parameters;
    const char *folder;
};

class LaunchSplit : public ::testing::TestWithParam<LaunchCase>
{
};

TEST_P(LaunchSplit, SplitsAtTheFirstTwoSeparators)
{
    const auto d = LaunchDescription::split(GetParam().stored);
    EXPECT_EQ(d.program, GetParam().program);
    EXPECT_EQ(d.parameters, GetParam().parameters);
    EXPECT_EQ(d.folder, GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(Fields, LaunchSplit,
    ::testing::Values(LaunchCase { "C:\\Tools\\edit.exe~~/n readme.txt~~C:\\Docs",
                          "C:\\Tools\\edit.exe", "/n readme.txt", "C:\\Docs" },
        LaunchCase { "/usr/bin/xterm~~~~", "/usr/bin/xterm", "", "" },
        LaunchCase { "a~~b~~c~~d", "a", "b", "c~~d" }, LaunchCase { "only", "only", "", "" },
        LaunchCase { "a~~b", "a", "b", "" }, LaunchCase { "", "", "", "" },
        LaunchCase { "~~~~~", "", "", "~" }));

TEST(LaunchDescription, JoinAlwaysWritesBothSeparators)
{
    EXPECT_EQ((LaunchDescription { "/usr/bin/xterm", "", "" }.join()), "/usr/bin/xterm~~~~");
    EXPECT_EQ((LaunchDescription { "edit", "-n x", "/tmp" }.join()), "edit~~-n x~~/tmp");
}

class CatalogueTest : public ::testing::Test
{
protected:
    void write(const std::string &content) { writeFile(dir.file("macros.ini"), content); }
    std::string file() { return readFile(dir.file("macros.ini")); }

    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
};

TEST_F(CatalogueTest, FindByNameIgnoresCaseAndFindsEveryMatchInOrder)
{
    write("[Main]\nEntries=4\n[Macro1]\nName=Mail\n[Macro2]\nName=Other\n[Macro3]\nName=MAIL\n"
          "[Macro4]\n[Macro5]\nName=mail\n");
    EXPECT_EQ(catalogue.findByName("mAiL"), (std::vector<int> { 1, 3 })); // 5 is beyond Entries
    EXPECT_EQ(catalogue.findByName(""), (std::vector<int> { 4 })); // a record without a Name
    EXPECT_TRUE(catalogue.findByName("none").empty());
}

TEST_F(CatalogueTest, RecordReadsEachKeyOrItsDefault)
{
    write("[Main]\nEntries=2\n"
          "[Macro1]\nname=Mail\nTYPE=3\nHotKey=0x1C041\nFilename=Mail.dat\nTrigger=Inbox\n"
          "Speed=2\n"
          "[Macro2]\nHotKey=-1\nType=x\n");
    const struct
    {
        int n;
        MacroRecord expected;
        const char *listed;
    } cases[] = {
        { 1, { "Mail", macrokind::MouseAndKeys, 0xC041, "Mail.dat", "Inbox", 2 }, "Mail" },
        { 2, { "", 0, 0xFFFF, "", "", 1 }, "Macro2" },
        { 3, { "", 0, 0, "", "", 1 }, "Macro3" }, // no section at all
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.n);
        EXPECT_EQ(catalogue.record(c.n), c.expected);
        EXPECT_EQ(Catalogue::listedName(*store.document(), c.n), c.listed);
    }
}

TEST_F(CatalogueTest, FoundHandlesGrowAtTheFront)
{
    write("[Main]\nEntries=1\n[Macro1]\nName=A\n");
    catalogue.addFoundHandle(1, "7");
    catalogue.addFoundHandle(1, "9");
    EXPECT_EQ(catalogue.foundHandles(1), "9,7");
    EXPECT_EQ(catalogue.foundHandles(2), "");
}

TEST_F(CatalogueTest, AppendRaisesEntriesAndWritesTheRecord)
{
    write("[Main]\nEntries=1\n[Macro1]\nName=First\n");
    MacroRecord r;
    r.name = "Replay  ";
    r.type = macrokind::MouseAndKeys;
    r.hotKey = 49217;
    r.fileName = "Replay.dat";
    r.speed = 2;
    EXPECT_EQ(catalogue.append(r), 2);
    EXPECT_EQ(store.readString("Macro2", "Name", ""), "Replay");
    EXPECT_EQ(store.readInteger("Macro2", "Speed", 0), 2);
    EXPECT_EQ(store.readInteger("Main", "Entries", 0), 2);
    r.type = macrokind::Advanced;
    EXPECT_EQ(catalogue.append(r), 3);
    EXPECT_EQ(store.readString("Macro3", "Speed", "absent"), "absent");
}

TEST_F(CatalogueTest, AppendAfterANegativeCountStartsAtOne)
{
    write("[Main]\nEntries=-4\n");
    MacroRecord record;
    record.name = "x";
    EXPECT_EQ(catalogue.append(record), 1);
}

struct RemoveCase
{
    const char *name;
    int entries;
    int remove;
    std::vector<std::string> namesAfter;
};

class RemoveRecord : public ::testing::TestWithParam<RemoveCase>
{
};

TEST_P(RemoveRecord, MovesLaterRecordsDown)
{
    TempDir dir;
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    const auto &c = GetParam();
    store.edit([&](IniDocument &doc) {
        doc.setValue("Main", "Entries", std::to_string(c.entries));
        for (int n = 1; n <= std::max(c.entries, 3); ++n) {
            const auto s = "Macro" + std::to_string(n);
            doc.setValue(s, "Name", "M" + std::to_string(n));
            doc.setValue(s, "FoundHandle", "h" + std::to_string(n));
        }
    });
    catalogue.removeRecord(c.remove);
    std::vector<std::string> names;
    for (int n = 1; n <= catalogue.recordCount(); ++n)
        names.push_back(store.readString(Catalogue::sectionName(n), "Name", "?"));
    EXPECT_EQ(names, c.namesAfter);
    // FoundHandle stays with the section number.
    if (!c.namesAfter.empty()) {
        EXPECT_EQ(store.readString("Macro1", "FoundHandle", ""), "h1");
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, RemoveRecord,
    ::testing::Values(RemoveCase { "first", 3, 1, { "M2", "M3" } },
        RemoveCase { "middle", 4, 2, { "M1", "M3", "M4" } },
        RemoveCase { "last", 3, 3, { "M1", "M2" } }, RemoveCase { "only", 1, 1, {} },
        RemoveCase { "beyondEntries", 2, 3, { "M1", "M2" } },
        RemoveCase { "zero", 2, 0, { "M1", "M2" } }, RemoveCase { "emptyCatalogue", 0, 1, {} }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CatalogueTest, RemoveWritesAllSevenKeysWithDefaults)
{
    write("[Main]\nEntries=3\n[Macro1]\nName=A\n[Macro2]\nName=B\nType=3\nSpeed=2\nHotKey=49217\n"
          "[Macro3]\nName=C\nFoundHandle=77\n");
    catalogue.removeRecord(1);
    EXPECT_EQ(store.readInteger("Macro1", "Speed", 0), 2);
    EXPECT_EQ(store.readInteger("Macro1", "HotKey", 0), 49217);
    EXPECT_EQ(store.readString("Macro2", "Name", ""), "C");
    EXPECT_EQ(store.readString("Macro2", "TriggerRan", ""), "0");
    EXPECT_EQ(store.readString("Macro2", "Speed", ""), "1");
    EXPECT_EQ(store.readString("Macro2", "Type", ""), "1");
    EXPECT_EQ(store.readString("Macro2", "FoundHandle", "none"), "none");
    EXPECT_FALSE(store.document()->hasSection("Macro3"));
    EXPECT_EQ(catalogue.recordCount(), 2);
}

TEST_F(CatalogueTest, ResetTriggerMemoryEmptiesEveryFoundHandle)
{
    write("[Main]\nEntries=2\n[Macro1]\nFoundHandle=1,2\n[Macro2]\nName=x\n[Macro3]\nFoundHandle="
          "9\n");
    catalogue.resetTriggerMemory();
    EXPECT_EQ(store.readString("Macro1", "FoundHandle", "d"), "");
    // An absent key already reads as empty: left absent.
    EXPECT_EQ(store.readString("Macro2", "FoundHandle", "d"), "d");
    EXPECT_EQ(store.readString("Macro3", "FoundHandle", "d"), "9");
}

TEST_F(CatalogueTest, ResetTriggerMemoryLeavesAnAlreadyEmptyFileUntouched)
{
    const std::string content = "[Main]\nEntries=2\n[Macro1]\nFoundHandle=\n[Macro2]\nName=x\n";
    write(content);
    struct stat before
    {
    };
    ASSERT_EQ(::stat(dir.file("macros.ini").c_str(), &before), 0);
    catalogue.resetTriggerMemory();
    struct stat after
    {
    };
    ASSERT_EQ(::stat(dir.file("macros.ini").c_str(), &after), 0);
    EXPECT_EQ(file(), content);
    EXPECT_EQ(before.st_ino, after.st_ino); // not replaced
}

struct CountCase
{
    const char *name;
    const char *content;
    int records;
};

class RecordCounts : public ::testing::TestWithParam<CountCase>
{
};

// Walks stop at the highest record section the file holds, whatever Entries claims.
TEST_P(RecordCounts, EntriesIsClampedToTheSectionsPresent)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), GetParam().content);
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    EXPECT_EQ(catalogue.recordCount(), GetParam().records);
    EXPECT_EQ(static_cast<int>(LoadMacroList(catalogue).size()), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(Files, RecordCounts,
    ::testing::Values(CountCase { "plain", "[Main]\nEntries=2\n[Macro1]\n[Macro2]\n", 2 },
        CountCase { "sectionsBeyondEntries", "[Main]\nEntries=1\n[Macro1]\n[Macro2]\n", 1 },
        CountCase { "gapReadsDefaults", "[Main]\nEntries=3\n[Macro1]\n[Macro3]\n", 3 },
        CountCase { "tenMillion", "[Main]\nEntries=10000000\n[Macro1]\n[Macro2]\n", 2 },
        CountCase { "intMax", "[Main]\nEntries=2147483647\n[MACRO4]\n", 4 },
        CountCase { "overflowingNumber", "[Main]\nEntries=999999999999\n[Macro1]\n", 0 },
        CountCase { "noRecordSections", "[Main]\nEntries=5\n[Macros]\n[Macro]\n", 0 },
        CountCase { "oddSectionNamesIgnored",
            "[Main]\nEntries=50\n[Macro2]\n[Macro07]\n[Macro 9]\n[Macro-12]\n[Macro+11]\n"
            "[Macro99999999999]\n[Macro3x]\n",
            2 },
        CountCase { "negative", "[Main]\nEntries=-7\n[Macro1]\n", 0 }),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(CatalogueTest, AbsurdEntriesStaysCheapAndTouchesOnlyExistingSections)
{
    const std::string content = "[Main]\nEntries=999999999\n[Macro1]\nName=A\nFoundHandle=5\n"
                                "[Macro2]\nName=B\nTrigger=T\n";
    write(content);
    EXPECT_EQ(LoadMacroList(catalogue).size(), 2u);
    EXPECT_EQ(catalogue.findByName("b"), (std::vector<int> { 2 }));
    catalogue.resetTriggerMemory();
    const std::string after = file();
    EXPECT_EQ(after.size(), content.size() - 1); // only the "5" went
    EXPECT_EQ(store.readString("Macro1", "FoundHandle", "d"), "");
    EXPECT_FALSE(store.document()->hasSection("Macro3"));
}

TEST_F(CatalogueTest, LoadMacroListRowsAndDefaults)
{
    write("[Main]\nEntries=6\n"
          "[Macro1]\nName=Editor\nType=1\nHotKey=49217\nTrigger=Untitled\n"
          "[Macro2]\nName=Keys\nType=2\nHotKey=0x4041\n"
          "[Macro3]\nName=Mouse\nType=3\nHotKey=nonsense\n"
          "[Macro4]\nName=Adv\nType=4\n"
          "[Macro5]\nType=9\n"
          "[Macro6]\nName=NoType\n");
    const auto rows = LoadMacroList(catalogue);
    ASSERT_EQ(rows.size(), 6u);
    const int images[] = { 0, 1, 2, 1, 0, 0 };
    const char *captions[] = { "Editor", "Keys", "Mouse", "Adv", "Macro5", "NoType" };
    const char *hotKeys[] = { "Ctrl+Alt+A", "Ctrl+A", "", "", "", "" };
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[i].imageIndex, images[i]) << i;
        EXPECT_EQ(rows[i].caption, captions[i]) << i;
        EXPECT_EQ(rows[i].hotKeyText, hotKeys[i]) << i;
    }
    EXPECT_EQ(rows[0].trigger, "Untitled");
}

TEST_F(CatalogueTest, EntriesMissingZeroOrNegativeMeansEmpty)
{
    for (const char *content : { "[Macro1]\nName=x\n", "[Main]\nEntries=0\n[Macro1]\nName=x\n",
             "[Main]\nEntries=-3\n[Macro1]\nName=x\n",
             "[Main]\nEntries=lots\n[Macro1]\nName=x\n" }) {
        write(content);
        EXPECT_TRUE(LoadMacroList(catalogue).empty()) << content;
        EXPECT_TRUE(catalogue.findByName("x").empty()) << content;
    }
}

// Names are stored, named on disk and compared as the file reads them back.
TEST(DataFileName, BlanksAndControlsAroundTheNameRemoved)
{
    EXPECT_EQ(dataFileName("Mail  \t", ".key"), "Mail.key");
    EXPECT_EQ(dataFileName(" \tMail", ".dat"), "Mail.dat");
    EXPECT_EQ(dataFileName("Daily report", ".dat"), "Daily report.dat");
    TempDir dir;
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    catalogue.append(MacroRecord { " \tGreet ", macrokind::Advanced, 0, "Greet.key", "" });
    EXPECT_EQ(store.readString("Macro1", "Name", ""), "Greet");
    EXPECT_EQ(catalogue.findByName("GREET"), std::vector<int> { 1 });
}

TEST(Paths, EnvironmentDecidesTheFolders)
{
    const auto keep = [](const char *name) {
        const char *v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto home = keep("QUORVEL_HOME"), config = keep("XDG_CONFIG_HOME"),
               data = keep("XDG_DATA_HOME"), userHome = keep("HOME");
    setenv("QUORVEL_HOME", "/portable", 1);
    auto p = Paths::fromEnvironment();
    EXPECT_EQ(p.catalogueFile, "/portable/macros.ini");
    EXPECT_EQ(p.dataFolder, "/portable/");
    unsetenv("QUORVEL_HOME");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("XDG_DATA_HOME", "/dat/", 1);
    p = Paths::fromEnvironment();
    EXPECT_EQ(p.catalogueFile, "/cfg/quorvel/macros.ini");
    EXPECT_EQ(p.dataFolder, "/dat/quorvel/");
    unsetenv("XDG_CONFIG_HOME");
    setenv("XDG_DATA_HOME", "relative", 1); // not absolute: ignored
    setenv("HOME", "/home/u", 1);
    p = Paths::fromEnvironment();
    EXPECT_EQ(p.catalogueFile, "/home/u/.config/quorvel/macros.ini");
    EXPECT_EQ(p.dataFolder, "/home/u/.local/share/quorvel/");
    const auto restore = [](const char *name, const std::optional<std::string> &v) {
        if (v)
            setenv(name, v->c_str(), 1);
        else
            unsetenv(name);
    };
    restore("QUORVEL_HOME", home);
    restore("XDG_CONFIG_HOME", config);
    restore("XDG_DATA_HOME", data);
    restore("HOME", userHome);
}

} // namespace
