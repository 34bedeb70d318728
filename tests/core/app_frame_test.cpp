#include "app/frame/CommandLine.h"
#include "app/frame/Placement.h"
#include "common/Error.h"
#include "fakes/TestSupport.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

struct CommandLineCase
{
    const char *name;
    std::vector<std::string> arguments;
    std::vector<int> runs;
    bool close;
};

class CommandLines : public ::testing::TestWithParam<CommandLineCase>
{
};

TEST_P(CommandLines, RunsEveryNamedRecordInOrder)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"),
        "[Main]\nEntries=4\n[Macro1]\nName=Mail\n[Macro2]\nName=Editor\n"
        "[Macro3]\nName=MAIL\n[Macro4]\nName=Two Words\n");
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    std::vector<int> runs;
    int pumps = 0;
    const auto result = DoCommandLine(
        GetParam().arguments, catalogue, [&](int n) { runs.push_back(n); }, [&] { ++pumps; });
    EXPECT_EQ(runs, GetParam().runs);
    EXPECT_EQ(result.closeWhenDone, GetParam().close);
}

INSTANTIATE_TEST_SUITE_P(Forms, CommandLines,
    ::testing::Values(CommandLineCase { "none", {}, {}, false },
        CommandLineCase { "loneClose", { "/close" }, {}, true },
        CommandLineCase { "openThenClose", { "/Open:\"Editor\"", "/Close" }, { 2 }, true },
        CommandLineCase { "quotedBlanksTrimmed", { "/OPEN:\"  Two Words  \"" }, { 4 }, false },
        CommandLineCase { "bareName", { "editor" }, { 2 }, false },
        CommandLineCase { "caseDuplicatesBothRun", { "/open:mAiL" }, { 1, 3 }, false },
        CommandLineCase { "closePrefixCounts", { "/CLOSEXYZ" }, {}, true },
        CommandLineCase { "unknownName", { "/OPEN:Nobody", "/CLOSE" }, {}, true },
        CommandLineCase { "emptyOpen", { "/OPEN:" }, {}, false },
        CommandLineCase { "several", { "Mail", "/OPEN:Editor" }, { 1, 3, 2 }, false },
        CommandLineCase { "shortArgument", { "/OP" }, {}, false },
        CommandLineCase { "garbage", { "\xff\xfe/OPEN:\x01", "" }, {}, false }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CommandLine, NameIsCutAt150Characters)
{
    const std::string name(200, 'n');
    EXPECT_EQ(wantedName("/OPEN:" + name), std::string(150, 'n'));
    EXPECT_EQ(wantedName("/close"), "");
    EXPECT_EQ(wantedName("plain"), "plain");
}

TEST(CommandLine, ErrorStopsTheRemainingArguments)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), "[Main]\nEntries=2\n[Macro1]\nName=A\n[Macro2]\nName=B\n");
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    std::vector<int> runs;
    EXPECT_THROW(DoCommandLine(
                     { "A", "B", "/CLOSE" }, catalogue,
                     [&](int n) {
                         runs.push_back(n);
                         throw Error("Invalid token");
                     },
                     [] {}),
        Error);
    EXPECT_EQ(runs, (std::vector<int> { 1 }));
}

TEST(CommandLine, AbsurdEntriesWalksOnlyTheRecordsPresent)
{
    TempDir dir;
    writeFile(
        dir.file("macros.ini"), "[Main]\nEntries=999999999\n[Macro1]\nName=A\n[Macro2]\nName=B\n");
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    std::vector<int> runs;
    int pumps = 0;
    DoCommandLine(
        { "/OPEN:b" }, catalogue, [&](int n) { runs.push_back(n); }, [&] { ++pumps; });
    EXPECT_EQ(runs, (std::vector<int> { 2 }));
    EXPECT_EQ(pumps, 2);
}

struct PlacementCase
{
    const char *name;
    const char *position;
    std::optional<Rect> expected;
};

class Placements : public ::testing::TestWithParam<PlacementCase>
{
};

TEST_P(Placements, SetPositionRules)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), std::string("[Position]\n") + GetParam().position);
    ProfileStore store(dir.file("macros.ini"));
    const Rect screen { 0, 0, 1280, 1024 };
    EXPECT_EQ(storedPlacement(store, screen), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Keys, Placements,
    ::testing::Values(PlacementCase { "none", "", std::nullopt },
        PlacementCase { "width10000", "Width=10000\nHeight=300\nTop=5\nLeft=5\n", std::nullopt },
        PlacementCase {
            "all", "Width=500\nHeight=400\nTop=20\nLeft=30\n", Rect { 30, 20, 500, 400 } },
        PlacementCase {
            "heightDefault", "Width=500\nTop=20\nLeft=30\n", Rect { 30, 20, 500, 343 } },
        PlacementCase {
            "edgesMissingCentre", "Width=500\nHeight=400\n", Rect { 390, 312, 500, 400 } },
        PlacementCase { "offScreenPulledBack", "Width=500\nHeight=400\nTop=5000\nLeft=-9000\n",
            Rect { -450, 994, 500, 400 } }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Placement, SaveWritesAllFourKeys)
{
    TempDir dir;
    ProfileStore store(dir.file("macros.ini"));
    savePlacement(store, Rect { 1, 2, 3, 4 });
    EXPECT_EQ(quorvel::testing::readFile(dir.file("macros.ini")),
        "[Position]\nWidth=3\nHeight=4\nTop=2\nLeft=1\n");
}

} // namespace
