// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/TestSupport.h"
#include "platform/posix/PosixLauncher.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

using namespace quorvel;
using quorvel::testing::TempDir;

namespace {

struct SplitCase
{
    const char *parameters;
    std::vector<std::string> arguments;
};

class ArgumentSplitting : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(ArgumentSplitting, NoExpansionOfAnyKind)
{
    EXPECT_EQ(splitArguments(GetParam().parameters), GetParam().arguments) << GetParam().parameters;
}

INSTANTIATE_TEST_SUITE_P(Quoting, ArgumentSplitting,
    ::testing::Values(SplitCase { "", {} }, SplitCase { "   ", {} },
        SplitCase { "/n readme.txt", { "/n", "readme.txt" } },
        SplitCase { "\"two words\" x", { "two words", "x" } },
        SplitCase { "'single $HOME' `id`", { "single $HOME", "`id`" } },
        SplitCase { "$(rm -rf /) ; *.txt | x", { "$(rm", "-rf", "/)", ";", "*.txt", "|", "x" } },
        SplitCase { "C:\\Docs\\a.txt", { "C:\\Docs\\a.txt" } },
        SplitCase { "a\\ b \"q\\\"q\"", { "a b", "q\"q" } }, SplitCase { "\"\" x", { "", "x" } },
        SplitCase { "\"unterminated arg", { "unterminated arg" } }));

TEST(LaunchPlan, ExecutablesRunDirectlyEverythingElseThroughTheOpener)
{
    TempDir dir;
    quorvel::testing::writeFile(dir.file("notes.txt"), "x");
    auto plan = planLaunch("sh", "-c 'echo hi'", "");
    ASSERT_EQ(plan.argv.size(), 3u);
    EXPECT_EQ(std::filesystem::path(plan.argv[0]).filename(), "sh");
    EXPECT_EQ(plan.argv[2], "echo hi");

    plan = planLaunch("notes.txt", "ignored", dir.path());
    EXPECT_EQ(plan.argv, (std::vector<std::string> { "xdg-open", dir.file("notes.txt") }));
    plan = planLaunch("https://example.invalid/x", "", "");
    EXPECT_EQ(plan.argv, (std::vector<std::string> { "xdg-open", "https://example.invalid/x" }));
    plan = planLaunch("mailto:someone@example.invalid", "", "");
    EXPECT_EQ(plan.argv[0], "xdg-open");
    plan = planLaunch("/usr/bin/env", "", "/tmp");
    EXPECT_EQ(plan.argv, (std::vector<std::string> { "/usr/bin/env" }));
    EXPECT_EQ(plan.folder, "/tmp");
    EXPECT_TRUE(planLaunch("", "x", "").argv.empty());
}

TEST(PosixLauncher, StartsDetachedInTheFolderWithoutAShell)
{
    TempDir dir;
    PosixLauncher launcher;
    // A shell would expand these; the program must receive them as they are.
    launcher.open("touch", "'$(id)' \"a;b\" plain", dir.path());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (
        !std::filesystem::exists(dir.file("plain")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(dir.file("$(id)")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("a;b")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("plain")));
    // The intermediate child was reaped and the program is not our child.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(PosixLauncher, MissingProgramIsSilent)
{
    PosixLauncher launcher;
    EXPECT_NO_THROW(launcher.open("/no/such/program", "", ""));
    EXPECT_NO_THROW(launcher.open("", "", "/no/such/folder"));
}

} // namespace
