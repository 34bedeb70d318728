// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/MacroFiles.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "fakes/TestSupport.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quorvel;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

struct StringCase
{
    const char *name;
    const char *file;
    const char *section;
    const char *key;
    const char *expected;
};

class StoreReads : public ::testing::TestWithParam<StringCase>
{
};

TEST_P(StoreReads, ReadString)
{
    TempDir dir;
    const auto &c = GetParam();
    writeFile(dir.file("macros.ini"), c.file);
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_EQ(store.readString(c.section, c.key, "default"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, StoreReads,
    ::testing::Values(StringCase { "plain", "[Main]\nName=Mail\n", "Main", "Name", "Mail" },
        StringCase { "caseOfNames", "[MACRO1]\nFilename=a.key\n", "Macro1", "FileName", "a.key" },
        StringCase {
            "blanksTrimmed", "  [Main]  \n  Name  =  two words  \n", "Main", "Name", "two words" },
        StringCase { "missingKey", "[Main]\nOther=1\n", "Main", "Name", "default" },
        StringCase { "missingSection", "[Main]\nName=x\n", "Macro1", "Name", "default" },
        StringCase { "emptyValue", "[Main]\nName=\n", "Main", "Name", "" },
        StringCase { "crlf", "[Main]\r\nName=Mail\r\nType=4\r\n", "Main", "Name", "Mail" },
        StringCase {
            "commentNotAKey", "[Main]\n;Name=hidden\nName=shown\n", "Main", "Name", "shown" },
        StringCase {
            "firstDuplicateWins", "[Main]\nName=a\nName=b\n[main]\nName=c\n", "Main", "Name", "a" },
        StringCase { "equalsInValue", "[Main]\nName=a=b\n", "Main", "Name", "a=b" },
        StringCase { "windows1252", "[Main]\nName=Caf\xe9 \x80\n", "Main", "Name",
            "Caf\xc3\xa9 \xe2\x82\xac" },
        StringCase { "keyBeforeAnySection", "Name=x\n[Main]\n", "Main", "Name", "default" },
        StringCase { "noFinalNewline", "[Main]\nName=last", "Main", "Name", "last" }),
    [](const auto &info) { return std::string(info.param.name); });

struct IntCase
{
    const char *value;
    int expected;
};

class IntegerReads : public ::testing::TestWithParam<IntCase>
{
};

TEST_P(IntegerReads, ReadInteger)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), std::string("[Main]\nV=") + GetParam().value + "\n");
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_EQ(store.readInteger("Main", "V", -7), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Rules, IntegerReads,
    ::testing::Values(IntCase { "42", 42 }, IntCase { "-3", -3 }, IntCase { "+5", 5 },
        IntCase { "0x4041", 0x4041 }, IntCase { "0XfF", 255 }, IntCase { "0x", -7 },
        IntCase { "12abc", -7 }, IntCase { "abc", -7 }, IntCase { "", -7 }, IntCase { "1 2", -7 },
        IntCase { "99999999999", -7 }, IntCase { "0xFFFFFFFF", -1 }, IntCase { "0x1FFFFFFFF", -7 },
        IntCase { "- 1", -7 }));

TEST(ProfileStore, BooleanRules)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), "[Main]\nA=0\nB=1\nC=5\nD=yes\n");
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_FALSE(store.readBool("Main", "A", true));
    EXPECT_TRUE(store.readBool("Main", "B", false));
    EXPECT_TRUE(store.readBool("Main", "C", false));
    EXPECT_TRUE(store.readBool("Main", "D", true)); // not a number: the default
    EXPECT_FALSE(store.readBool("Main", "D", false));
    EXPECT_TRUE(store.readBool("Main", "Missing", true));
    store.writeBool("Main", "A", true);
    store.writeBool("Main", "B", false);
    EXPECT_EQ(store.readString("Main", "A", ""), "1");
    EXPECT_EQ(store.readString("Main", "B", ""), "0");
}

TEST(ProfileStore, ReadsAreCutAt1023Characters)
{
    TempDir dir;
    const std::string longValue(5000, 'x');
    // Multi-byte characters count as one each.
    const std::string euros = [] {
        std::string s;
        for (int i = 0; i < 1100; ++i)
            s += "\xe2\x82\xac";
        return s;
    }();
    writeFile(dir.file("macros.ini"), "[Main]\nLong=" + longValue + "\nEuro=" + euros + "\n");
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_EQ(store.readString("Main", "Long", "").size(), 1023u);
    EXPECT_EQ(store.readString("Main", "Euro", "").size(), 1023u * 3);
    EXPECT_EQ(store.readString("Main", "Missing", longValue).size(), 1023u);
}

TEST(ProfileStore, WriteCreatesFileFoldersSectionAndKey)
{
    TempDir dir;
    const auto path = dir.path() + "/deep/er/macros.ini";
    ProfileStore store(path);
    EXPECT_EQ(store.readInteger("Main", "Entries", 0), 0);
    store.writeInteger("Main", "Entries", 1);
    store.writeString("Macro1", "Name", "Mail");
    store.writeString("macro1", "NAME", "Post"); // replaces, names ignore case
    EXPECT_EQ(readFile(path), "[Main]\nEntries=1\n[Macro1]\nName=Post\n");
}

TEST(ProfileStore, WritesKeepEverythingElseOfAWindowsFile)
{
    TempDir dir;
    const std::string original = "; written on Windows\r\n"
                                 "[Main]\r\n"
                                 "Entries=1\r\n"
                                 "Unknown Key = kept as it was \r\n"
                                 "\r\n"
                                 "[Vendor]\r\n"
                                 "Caf\xe9=1\r\n"
                                 "[Macro1]\r\n"
                                 "Name=Mail\r\n";
    writeFile(dir.file("macros.ini"), original);
    ProfileStore store(dir.file("macros.ini"));
    store.writeString("Main", "FirstRun", "0");
    store.writeString("Macro1", "Name", "Post");
    store.writeString("Macro2", "Name", "New");
    EXPECT_EQ(readFile(dir.file("macros.ini")),
        "; written on Windows\r\n"
        "[Main]\r\n"
        "Entries=1\r\n"
        "Unknown Key = kept as it was \r\n"
        "FirstRun=0\r\n"
        "\r\n"
        "[Vendor]\r\n"
        "Caf\xe9=1\r\n"
        "[Macro1]\r\n"
        "Name=Post\r\n"
        "[Macro2]\r\n"
        "Name=New\r\n");
}

TEST(ProfileStore, EraseSectionRemovesHeaderAndKeys)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), "[A]\nx=1\n[B]\ny=2\n;c\n[C]\nz=3\n[b]\nw=4\n");
    ProfileStore store(dir.file("macros.ini"));
    store.eraseSection("b");
    EXPECT_EQ(readFile(dir.file("macros.ini")), "[A]\nx=1\n[C]\nz=3\n");
    EXPECT_EQ(store.readString("B", "y", "gone"), "gone");
}

TEST(ProfileStore, ValuesCannotBreakTheFileStructure)
{
    TempDir dir;
    ProfileStore store(dir.file("macros.ini"));
    store.writeString("Macro1", "Name", "two\nlines\r\n[Main]\nEntries=99");
    EXPECT_EQ(store.readInteger("Main", "Entries", 0), 0);
    EXPECT_EQ(store.readString("Macro1", "Name", ""), "two lines  [Main] Entries=99");
}

TEST(ProfileStore, SeesWritesOfOtherWritersAtOnce)
{
    TempDir dir;
    ProfileStore reader(dir.file("macros.ini"));
    ProfileStore writer(dir.file("macros.ini"));
    for (int i = 0; i < 50; ++i) {
        writer.writeInteger("Main", "Entries", i);
        EXPECT_EQ(reader.readInteger("Main", "Entries", -1), i);
    }
    // An editor that rewrites in place, same size, within the same timestamp tick.
    writeFile(dir.file("macros.ini"), "[Main]\nEntries=7\n");
    EXPECT_EQ(reader.readInteger("Main", "Entries", -1), 7);
    writeFile(dir.file("macros.ini"), "[Main]\nEntries=8\n");
    EXPECT_EQ(reader.readInteger("Main", "Entries", -1), 8);
}

TEST(ProfileStore, RefusedWriteRaisesAndLosesNothing)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores permissions";
    TempDir dir;
    writeFile(dir.file("macros.ini"), "[Main]\nEntries=3\n");
    chmod(dir.path().c_str(), 0500);
    ProfileStore store(dir.file("macros.ini"));
    try {
        store.writeInteger("Main", "Entries", 4);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.file("macros.ini"));
    }
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(readFile(dir.file("macros.ini")), "[Main]\nEntries=3\n");
}

struct ModeCase
{
    mode_t mode;
    bool writable;
};

class FileModes : public ::testing::TestWithParam<ModeCase>
{
};

// The owner's write bit decides, not access(2): the tests run as root too. A file written is
// the user's alone whatever it was before.
TEST_P(FileModes, OwnerWriteBitDecides)
{
    TempDir dir;
    const auto path = dir.file("macros.ini");
    writeFile(path, "[Main]\nEntries=3\n");
    chmod(path.c_str(), GetParam().mode);
    ProfileStore store(path);
    if (GetParam().writable) {
        store.writeInteger("Main", "Entries", 4);
        EXPECT_EQ(readFile(path), "[Main]\nEntries=4\n");
    } else {
        try {
            store.writeInteger("Main", "Entries", 4);
            FAIL() << "no error";
        } catch (const Error &e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
        EXPECT_EQ(readFile(path), "[Main]\nEntries=3\n");
    }
    struct stat st
    {
    };
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, GetParam().writable ? 0600u : GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(Rules, FileModes,
    ::testing::Values(ModeCase { 0444, false }, ModeCase { 0400, false }, ModeCase { 0077, false },
        ModeCase { 0644, true }, ModeCase { 0600, true }, ModeCase { 0640, true }),
    [](const auto &info) {
        char name[16];
        std::snprintf(name, sizeof name, "mode%04o", static_cast<unsigned>(info.param.mode));
        return std::string(name);
    });

std::vector<std::string> folderEntries(const std::string &folder)
{
    std::vector<std::string> names;
    if (DIR *d = opendir(folder.c_str())) {
        while (const dirent *e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t modeOf(const std::string &path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct LinkCase
{
    const char *name;
    // Links made in the catalogue's folder "home", in order; the last one is macros.ini.
    std::vector<std::pair<const char *, const char *>> links;
    bool targetExists;
};

class LinkedCatalogue : public ::testing::TestWithParam<LinkCase>
{
};

TEST_P(LinkedCatalogue, WritesGoThroughTheLink)
{
    TempDir dir;
    mkdir(dir.file("home").c_str(), 0700);
    mkdir(dir.file("dotfiles").c_str(), 0700);
    const auto target = dir.file("dotfiles/macros.ini");
    if (GetParam().targetExists)
        writeFile(target, "; mine\n[Main]\nEntries=1\n");
    for (const auto &[link, to] : GetParam().links)
        ASSERT_EQ(symlink(to, dir.file(std::string("home/") + link).c_str()), 0) << link;
    const auto path = dir.file("home/macros.ini");

    ProfileStore store(path);
    store.writeInteger("Main", "Entries", 2);
    store.writeString("Macro1", "Name", "Mail");

    struct stat st
    {
    };
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(target),
        std::string(GetParam().targetExists ? "; mine\n" : "")
            + "[Main]\nEntries=2\n[Macro1]\nName=Mail\n");
    EXPECT_EQ(store.readString("Macro1", "Name", ""), "Mail");
    // The lock sits beside the file written, where writers through any path to it meet.
    EXPECT_EQ(folderEntries(dir.file("dotfiles")),
        (std::vector<std::string> { "macros.ini", "macros.ini.lock" }));
}

INSTANTIATE_TEST_SUITE_P(Kinds, LinkedCatalogue,
    ::testing::Values(LinkCase { "relative", { { "macros.ini", "../dotfiles/macros.ini" } }, true },
        LinkCase {
            "chain", { { "middle", "../dotfiles/macros.ini" }, { "macros.ini", "middle" } }, true },
        LinkCase { "dangling", { { "macros.ini", "../dotfiles/macros.ini" } }, false }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProfileStore, ReadOnlyTargetOfALinkIsRefused)
{
    TempDir dir;
    writeFile(dir.file("target.ini"), "[Main]\nEntries=3\n");
    chmod(dir.file("target.ini").c_str(), 0444);
    ASSERT_EQ(symlink("target.ini", dir.file("macros.ini").c_str()), 0);
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_THROW(store.writeInteger("Main", "Entries", 4), Error);
    EXPECT_EQ(readFile(dir.file("target.ini")), "[Main]\nEntries=3\n");
}

TEST(ProfileStore, LinkLoopRaises)
{
    TempDir dir;
    ASSERT_EQ(symlink("b", dir.file("macros.ini").c_str()), 0);
    ASSERT_EQ(symlink("macros.ini", dir.file("b").c_str()), 0);
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_THROW(store.writeInteger("Main", "Entries", 4), Error);
}

struct EndingCase
{
    const char *name;
    const char *original;
    const char *after; // once Zz/New=1 is written
    const char *key; // a key of section M that reads "v" before and after
};

class LineEndings : public ::testing::TestWithParam<EndingCase>
{
};

TEST_P(LineEndings, UnrelatedWritesKeepEveryByte)
{
    TempDir dir;
    const auto path = dir.file("macros.ini");
    writeFile(path, GetParam().original);
    ProfileStore store(path);
    EXPECT_EQ(store.readString("M", GetParam().key, "?"), "v");
    store.writeString("Zz", "New", "1");
    EXPECT_EQ(readFile(path), GetParam().after);
    EXPECT_EQ(store.readString("M", GetParam().key, "?"), "v");
    EXPECT_EQ(store.readString("Zz", "New", "?"), "1");
    // A change to one line leaves its neighbours' endings alone.
    store.writeString("Zz", "New", "2");
    store.writeString("Zz", "New", "1");
    EXPECT_EQ(readFile(path), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Odd, LineEndings,
    ::testing::Values(EndingCase { "crCrLf", "[M]\nk=v\r\r\n", "[M]\nk=v\r\r\n[Zz]\nNew=1\n", "k" },
        EndingCase {
            "crCrLfFirst", "[M]\r\r\nk=v\r\r\n", "[M]\r\r\nk=v\r\r\n[Zz]\r\nNew=1\r\n", "k" },
        EndingCase { "loneCr", "[M]\rk=v\r", "[M]\rk=v\r[Zz]\rNew=1\r", "k" },
        EndingCase { "noFinalNewline", "[M]\nk=v", "[M]\nk=v\n[Zz]\nNew=1\n", "k" },
        EndingCase { "crLfNoFinalNewline", "[M]\r\nk=v", "[M]\r\nk=v\r\n[Zz]\r\nNew=1\r\n", "k" },
        EndingCase { "mixed", "[M]\r\na=1\nk=v\r\nb=2\r\r\nc=3\r\n",
            "[M]\r\na=1\nk=v\r\nb=2\r\r\nc=3\r\n[Zz]\r\nNew=1\r\n", "k" },
        EndingCase {
            "blankLinesWithCr", "[M]\n\r\n\r\r\nk=v\n", "[M]\n\r\n\r\r\nk=v\n[Zz]\nNew=1\n", "k" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ProfileStore, NewKeyInTheLastSectionOfAFileWithoutFinalNewline)
{
    TempDir dir;
    writeFile(dir.file("macros.ini"), "[M]\r\nk=v");
    ProfileStore store(dir.file("macros.ini"));
    store.writeString("M", "x", "1");
    store.writeString("M", "k", "w");
    EXPECT_EQ(readFile(dir.file("macros.ini")), "[M]\r\nk=w\r\nx=1\r\n");
}

TEST(ProfileStore, WriteIntoAFolderThatIsAFileRaises)
{
    TempDir dir;
    writeFile(dir.file("blocker"), "x");
    ProfileStore store(dir.file("blocker") + "/macros.ini");
    EXPECT_THROW(store.writeString("Main", "A", "1"), Error);
    EXPECT_EQ(store.readString("Main", "A", "d"), "d");
}

TEST(ProfileStore, GarbageAndHugeLinesReadWithoutCrashing)
{
    TempDir dir;
    std::mt19937 random(42);
    std::string garbage(200000, '\0');
    for (auto &c : garbage)
        c = static_cast<char>(random());
    garbage +=
        "\n[Main]\nEntries=2\n" + std::string(3 << 20, 'y') + "\nName=" + std::string(2 << 20, 'z');
    writeFile(dir.file("macros.ini"), garbage);
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_EQ(store.readInteger("Main", "Entries", 0), 2);
    EXPECT_EQ(store.readString("Main", "Name", "").size(), 1023u);
    store.writeString("Main", "Added", "1");
    EXPECT_EQ(store.readString("Main", "Added", ""), "1");
    EXPECT_EQ(store.readInteger("Main", "Entries", 0), 2);
}

TEST(ProfileStore, UnreadableFileIsNeverReplaced)
{
    TempDir dir;
    mkdir(dir.file("macros.ini").c_str(), 0700); // a folder where the file should be
    ProfileStore store(dir.file("macros.ini"));
    EXPECT_EQ(store.readInteger("Main", "Entries", 5), 5);
    EXPECT_THROW(store.writeInteger("Main", "Entries", 1), Error);
}

std::string writerPath()
{
    return std::string(QUORVEL_TEST_HELPER_DIR) + "/catalogue_writer";
}

// Starts catalogue_writer MODE PATH with its output on a pipe whose reading end goes to out.
pid_t startWriter(const char *mode, const std::string &path, int &out)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        execl(writerPath().c_str(), "catalogue_writer", mode, path.c_str(), nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    out = pipeFds[0];
    if (child < 0)
        close(out);
    return child;
}

TEST(ProfileStoreProcesses, KilledWriterNeverLeavesATornFile)
{
    TempDir dir;
    const auto path = dir.file("macros.ini");
    // Enough padding that a torn write would be visible.
    {
        ProfileStore store(path);
        store.edit([](IniDocument &doc) {
            for (int n = 1; n <= 200; ++n)
                doc.setValue("Macro" + std::to_string(n), "Name", std::string(60, 'a' + n % 26));
            doc.setValue("Main", "Counter", "0");
        });
    }
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        int out = -1;
        const pid_t child = startWriter("loop", path, out);
        ASSERT_GT(child, 0);
        // Kill only once the writer is in its loop, so the kill lands amid writes.
        std::string announced;
        char buffer[4096];
        ssize_t n;
        while (
            announced.find('\n') == std::string::npos && (n = read(out, buffer, sizeof buffer)) > 0)
            announced.append(buffer, static_cast<std::size_t>(n));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 10000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while ((n = read(out, buffer, sizeof buffer)) > 0)
            announced.append(buffer, static_cast<std::size_t>(n));
        close(out);

        ProfileStore store(path);
        const int counter = store.readInteger("Main", "Counter", -1);
        // Every completed write is on disk; at most one more may have landed before the kill.
        int lastAnnounced = 0;
        if (auto end = announced.rfind('\n'); end != std::string::npos) {
            auto start = announced.rfind('\n', end - 1);
            lastAnnounced = std::stoi(announced.substr(start == std::string::npos ? 0 : start + 1));
        }
        EXPECT_GE(counter, lastAnnounced) << "round " << round;
        EXPECT_LE(counter, lastAnnounced + 1) << "round " << round;
        for (int r = 1; r <= 200; ++r)
            ASSERT_EQ(store.readString("Macro" + std::to_string(r), "Name", "").size(), 60u);
        // The next round starts from a consistent counter.
        store.writeInteger("Main", "Counter", 0);
    }
    // Whatever a killed writer left behind is gone after the next write.
    EXPECT_EQ(
        folderEntries(dir.path()), (std::vector<std::string> { "macros.ini", "macros.ini.lock" }));
}

// Two writer processes, one per path, each writing count keys of its own.
void expectEveryWriteKept(const std::string (&paths)[2], int count)
{
    pid_t children[2];
    const char *prefixes[2] = { "a", "b" };
    const std::string countText = std::to_string(count);
    for (int i = 0; i < 2; ++i) {
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            execl(writerPath().c_str(), "catalogue_writer", "keys", paths[i].c_str(), prefixes[i],
                countText.c_str(), nullptr);
            _exit(127);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ProfileStore store(paths[1]);
    int present = 0;
    for (const char *prefix : prefixes) {
        for (int i = 0; i < count; ++i)
            present += store.readInteger("Keys", prefix + std::to_string(i), -1) == i;
    }
    EXPECT_EQ(present, 2 * count);
}

// Both writers on the file, and one through a link in another folder while the other
// writes the file the link leads to.
TEST(ProfileStoreProcesses, ConcurrentWritersKeepEveryWrite)
{
    for (const bool linked : { false, true }) {
        SCOPED_TRACE(linked ? "linked" : "plain");
        TempDir dir;
        const auto path = dir.file("macros.ini");
        std::string paths[2] = { path, path };
        if (linked) {
            ASSERT_EQ(mkdir(dir.file("real").c_str(), 0700), 0);
            paths[1] = dir.file("real/macros.ini");
            ASSERT_EQ(symlink("real/macros.ini", path.c_str()), 0);
        }
        // Without a shared lock most of a hundred writes each collide.
        expectEveryWriteKept(paths, linked ? 100 : 500);
    }
}

// The catalogue and a data file: each made in a missing folder, made for the user
// alone, and each replacement too; a folder the user made keeps its mode.
TEST(PrivateFiles, NewFoldersAre0700AndEveryFileWritten0600)
{
    int writes = 0; // a catalogue write that changes nothing leaves the file alone
    const std::vector<std::pair<const char *, std::function<void(const std::string &)>>> writers = {
        { "macros.ini",
            [&writes](const std::string &path) {
                ProfileStore(path).writeInteger("Main", "X", ++writes);
            } },
        { "Text.key", [](const std::string &path) { writeFileAtomically(path, "x\r\n"); } },
    };
    const mode_t oldMask = umask(022);
    for (const auto &[name, write] : writers) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto fresh = dir.file("home/.local/share/quorvel/") + name;
        write(fresh);
        for (const auto *folder : { "home", "home/.local/share/quorvel" })
            EXPECT_EQ(modeOf(dir.file(folder)), 0700u) << folder;
        EXPECT_EQ(modeOf(fresh), 0600u);
        chmod(fresh.c_str(), 0644);
        write(fresh);
        EXPECT_EQ(modeOf(fresh), 0600u) << "replaced";

        ASSERT_EQ(mkdir(dir.file("mine").c_str(), 0755), 0);
        write(dir.file("mine/") + name);
        EXPECT_EQ(modeOf(dir.file("mine")), 0755u);
        EXPECT_EQ(modeOf(dir.file("mine/") + name), 0600u);
    }
    umask(oldMask);
}

// A temporary copy carries its writer's process id: those of writers that are gone are swept
// by the next write of a data file, the others are left.
TEST(PrivateFiles, DataWritesSweepTheTemporariesOfKilledWriters)
{
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const auto dead = std::to_string(gone);
    const auto alive = std::to_string(getpid());
    const std::vector<std::pair<std::string, bool>> entries = {
        { ".Greet.dat.tmp-" + dead + "-a1B2c3", true },
        { ".Other macro.key.tmp-" + dead + "-zzzzzz", true },
        { ".Greet.key.tmp-" + alive + "-a1B2c3", false },
        { ".notes.txt.tmp-" + dead + "-a1B2c3", false },
        { ".Greet.dat.tmp-" + dead + "-a1B2", false },
        { "Greet.dat.tmp-" + dead + "-a1B2c3", false },
        { "macros.ini", false },
    };
    TempDir dir;
    for (const auto &[name, swept] : entries)
        writeFile(dir.file(name), "secret");
    writeFileAtomically(dir.file("Greet.key"), "x");
    std::vector<std::string> expected = { "Greet.key" };
    for (const auto &[name, swept] : entries) {
        if (!swept)
            expected.push_back(name);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderEntries(dir.path()), expected);
}

TEST(PrivateFiles, AKilledDataWriterLeavesTheFileWholeAndNothingBehindTheNextWrite)
{
    TempDir dir;
    const auto path = dir.file("Rec.dat");
    std::mt19937 random(11);
    for (int round = 0; round < 4; ++round) {
        int out = -1;
        const pid_t child = startWriter("data", path, out);
        ASSERT_GT(child, 0);
        // Kill once the first file is complete, amid a later write.
        char first;
        ASSERT_EQ(read(out, &first, 1), 1);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        close(out);
        const auto bytes = readFile(path);
        ASSERT_EQ(bytes.size(), std::size_t { 1 } << 20);
        EXPECT_EQ(bytes.find_first_not_of(bytes.front()), std::string::npos);
    }
    writeFileAtomically(path, "x");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string> { "Rec.dat" });
}

} // namespace
