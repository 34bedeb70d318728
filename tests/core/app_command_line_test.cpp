// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"
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
        "[Main]\nEntries=5\n[Macro1]\nName=Mail\n[Macro2]\nName=Editor\n"
        "[Macro3]\nName=MAIL\n[Macro4]\nName=Two Words\n[Macro5]\nName=Say \"hi\"\n");
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
        CommandLineCase { "quoteInsideName", { "/Open:\"Say \"hi\"\"", "/Close" }, { 5 }, true },
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

} // namespace
