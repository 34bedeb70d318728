// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "fakes/TestSupport.h"
#include "platform/FileRemover.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

using namespace quorvel;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

TEST(MacroFiles, ReadWholeFileReadsRegularFilesOnly)
{
    TempDir dir;
    const std::string text("a\r\nb\0c", 6), big(200000, 'x'); // big: more than one piece
    writeFile(dir.file("text.key"), text);
    writeFile(dir.file("big.dat"), big);
    writeFile(dir.file("empty.key"), "");
    ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0); // opening it would wait for a writer
    const struct
    {
        const char *name;
        std::optional<std::string> content;
    } cases[] = {
        { "text.key", text },
        { "big.dat", big },
        { "empty.key", std::string() },
        { "missing", std::nullopt },
        { "folder", std::nullopt },
        { "fifo", std::nullopt },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readWholeFile(dir.file(c.name)), c.content);
    }
}

TEST(MacroFiles, RecordDataFileStaysInTheFolder)
{
    MacroRecord record;
    record.fileName = "Mail.key";
    EXPECT_EQ(recordDataFile("/d/", record), "/d/Mail.key");
    for (const char *unsafe : { "", "..", "../x.key", "a/b.key", "..\\x.key" }) {
        record.fileName = unsafe;
        try {
            recordDataFile("/d/", record);
            ADD_FAILURE() << unsafe;
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file /d/" + std::string(unsafe));
        }
    }
}

TEST(MacroFiles, AMissingNameFindsTheOneFileThatDiffersOnlyInLetterCase)
{
    TempDir dir;
    const std::string folder = dir.path() + "/";
    for (const char *name :
        { "MAIL.KEY", "Both.dat", "BOTH.DAT", "both.DAT", "Exact.key", "EXACT.KEY", "Ünï.key" })
        writeFile(folder + name, "x");
    const struct
    {
        const char *name;
        std::string path;
        bool caseIgnored;
    } cases[] = {
        { "Mail.key", "MAIL.KEY", true }, { "mail.key", "MAIL.KEY", true },
        { "MAIL.KEY", "MAIL.KEY", false },
        { "Exact.key", "Exact.key", false }, // the exact name wins over its other case
        { "both.dat", "both.dat", false }, // two others: neither, the name stays as it is
        { "Mail.dat", "Mail.dat", false }, // none at all
        { "ÜNÏ.key", "ÜNÏ.key", false }, // only ASCII letters fold
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto match = findDataFile(folder, c.name);
        ASSERT_TRUE(match.has_value());
        EXPECT_EQ(match->path, folder + c.path);
        EXPECT_EQ(match->caseIgnored, c.caseIgnored);
    }
    EXPECT_FALSE(findDataFile(folder, "../MAIL.KEY").has_value());
    MacroRecord record;
    record.fileName = "Mail.Key";
    EXPECT_EQ(recordDataFile(folder, record), folder + "MAIL.KEY");
}

struct LoggedRemover : FileRemover
{
    void removeFile(const std::string &path) override { removed.push_back(path); }
    std::vector<std::string> removed;
};

// A hand-edited name can hold anything; no file outside the data folder goes.
TEST(MacroFiles, RemovingAMacrosFilesOnlyInsideTheDataFolder)
{
    const struct
    {
        const char *name;
        std::vector<std::string> removed;
    } cases[] = {
        { "Mail me", { "/d/Mail me.key", "/d/Mail me.dat" } },
        { " Mail\t", { "/d/Mail.key", "/d/Mail.dat" } },
        { "v1.2..final", { "/d/v1.2..final.key", "/d/v1.2..final.dat" } },
        { "../../etc/passwd", {} },
        { "/tmp/x", {} },
        { ".", {} },
        { "..", {} },
        { "..\\evil", {} },
        { "", {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LoggedRemover files;
        removeMacroFiles(files, "/d/", c.name);
        EXPECT_EQ(files.removed, c.removed);
    }
    LoggedRemover files;
    removeMacroFiles(files, "", "Mail");
    EXPECT_TRUE(files.removed.empty()) << "no data folder";
}

TEST(MacroFiles, RemovingRealFilesLeavesOtherMacros)
{
    TempDir dir;
    for (const char *name : { "M1.key", "M1.dat", "M2.key" })
        writeFile(dir.file(name), "x");
    StdFileRemover files;
    removeMacroFiles(files, dir.path() + "/", "M1");
    EXPECT_FALSE(std::filesystem::exists(dir.file("M1.key")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("M1.dat")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("M2.key")));
}

} // namespace
