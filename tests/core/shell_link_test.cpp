// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "fakes/TestSupport.h"
#include "shell/ShellLink.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/stat.h>

using namespace quorvel;
using quorvel::testing::readFile;
using quorvel::testing::TempDir;
using quorvel::testing::writeFile;

namespace {

// The key's value as a desktop reads it: the string escapes undone.
std::optional<std::string> entryValue(const std::string &text, const std::string &key)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with(key + "="))
            continue;
        std::string out;
        for (std::size_t i = key.size() + 1; i < line.size(); ++i) {
            if (line[i] != '\\' || i + 1 == line.size()) {
                out.push_back(line[i]);
                continue;
            }
            const char c = line[++i];
            out.push_back(c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c);
        }
        return out;
    }
    return std::nullopt;
}

// Exec split into argv as a launcher does it: quoted arguments with their four escapes,
// then "%%" as a literal percent. Any other field code or bad quoting fails the parse.
std::optional<std::vector<std::string>> parseExec(const std::string &exec)
{
    std::vector<std::string> argv;
    std::size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ') {
            ++i;
            continue;
        }
        std::string raw;
        if (exec[i] == '"') {
            for (++i;; ++i) {
                if (i >= exec.size())
                    return std::nullopt;
                if (exec[i] == '"')
                    break;
                if (exec[i] == '\\') {
                    if (i + 1 >= exec.size()
                        || std::string_view("\"`$\\").find(exec[i + 1]) == std::string_view::npos)
                        return std::nullopt;
                    ++i;
                }
                raw.push_back(exec[i]);
            }
            ++i;
            if (i < exec.size() && exec[i] != ' ')
                return std::nullopt;
        } else {
            for (; i < exec.size() && exec[i] != ' '; ++i) {
                if (std::string_view("\t\n\"'\\><~|&;$*?#()`").find(exec[i])
                    != std::string_view::npos)
                    return std::nullopt;
                raw.push_back(exec[i]);
            }
        }
        std::string arg;
        for (std::size_t k = 0; k < raw.size(); ++k) {
            if (raw[k] == '%') {
                if (k + 1 >= raw.size() || raw[k + 1] != '%')
                    return std::nullopt;
                ++k;
            }
            arg.push_back(raw[k]);
        }
        argv.push_back(arg);
    }
    return argv;
}

// Sets or unsets environment variables for one test and puts them back afterwards.
class ScopedEnv
{
public:
    void set(const char *name, const char *value)
    {
        if (!m_saved.contains(name)) {
            const char *old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

struct Catalog
{
    explicit Catalog(const std::string &ini) { writeFile(dir.file("macros.ini"), ini); }
    TempDir dir;
    ProfileStore store { dir.file("macros.ini") };
    Catalogue catalogue { store };
};

ShellFolders foldersIn(const std::string &root)
{
    return { root + "/home", root + "/config", root + "/data", root + "/q/" };
}

// --- Exec quoting -------------------------------------------------------------------------

class HostileNames : public ::testing::TestWithParam<const char *>
{
};

TEST_P(HostileNames, ExecStartsExactlyThatMacro)
{
    const std::string name = GetParam();
    Catalog c("[Main]\nEntries=1\n[Macro1]\nName=x\n");
    c.store.writeString("Macro1", "Name", name);
    const std::string exe = "/opt/my apps/quorvel";
    DesktopShortcutMaker maker(c.catalogue, foldersIn(c.dir.path()), exe, "");
    maker.Shortcut_Create(ShellFolder::sfStartMenu, 1);

    const auto file = std::filesystem::path(c.dir.path()) / "data/applications";
    std::string written;
    for (const auto &entry : std::filesystem::directory_iterator(file))
        written = readFile(entry.path().string());
    const auto exec = entryValue(written, "Exec");
    ASSERT_TRUE(exec) << written;
    const auto argv = parseExec(*exec);
    ASSERT_TRUE(argv) << *exec;
    EXPECT_EQ(*argv, (std::vector<std::string> { exe, "/Open:\"" + name + "\"", "/Close" }));
    EXPECT_EQ(entryValue(written, "Name"), name);
    EXPECT_EQ(entryValue(written, "Comment"), name);
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNames,
    ::testing::Values("Mail", "Two Words", "Say \"hi\"", "$HOME `id` $(id)", "back\\slash\\",
        "100% %f %%", "semi; rm -rf ~ & | > <", "it's #1 * ?", "tab\tname", "=equals="));

TEST(DesktopEntry, LineBreaksInNamesStayEscaped)
{
    TPBShellLink link(foldersIn("/nowhere"));
    link.Name = "two\nlines\r\\";
    link.Description = link.Name;
    link.Target = "/bin/q";
    const auto text = link.text();
    EXPECT_NE(text.find("Name=two\\nlines\\r\\\\\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7) << text;
}

TEST(DesktopEntry, RecordBecomesItsEntry)
{
    Catalog c("[Main]\nEntries=3\n[Macro3]\nName=Mail\nHotKey=848\n");
    const auto folders = foldersIn(c.dir.path());
    DesktopShortcutMaker maker(c.catalogue, folders, "/usr/bin/quorvel", "<svg/>");
    maker.Shortcut_Create(ShellFolder::sfDesktop, 3);

    const auto file = folders.home + "/Desktop/quorvel-macro-Mail.desktop";
    const auto icon = folders.dataHome + "/icons/hicolor/scalable/apps/quorvel.svg";
    EXPECT_EQ(readFile(file),
        "[Desktop Entry]\nVersion=1.0\nType=Application\nName=Mail\nComment=Mail\n"
        "Exec=/usr/bin/quorvel \"/Open:\\\\\"Mail\\\\\"\" /Close\nPath="
            + c.dir.path() + "/q\nIcon=" + icon + "\nTerminal=false\nX-Quorvel-HotKey=848\n");
    EXPECT_EQ(readFile(icon), "<svg/>");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);

    // Again, after the user changed both: the entry is replaced, their icon kept.
    writeFile(icon, "<svg>mine</svg>");
    c.store.writeString("Macro3", "HotKey", "0");
    maker.Shortcut_Create(ShellFolder::sfDesktop, 3);
    const auto again = readFile(file);
    EXPECT_EQ(again.find("X-Quorvel-HotKey"), std::string::npos);
    EXPECT_EQ(readFile(icon), "<svg>mine</svg>");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folders.home + "/Desktop"),
                  std::filesystem::directory_iterator()),
        1);
}

// A macro named like a program gets an entry of its own beside that program's; an entry of
// the earlier naming that started this macro is replaced, anything else under that name kept.
TEST(DesktopEntry, NamedApartFromOtherProgramsEntries)
{
    const struct
    {
        const char *label;
        std::string existing; // firefox.desktop before the shortcut is made
        bool kept;
    } cases[] = {
        { "a program's own", "[Desktop Entry]\nType=Application\nName=Firefox\nExec=firefox %u\n",
            true },
        { "another macro's", "[Desktop Entry]\nExec=/q \"/Open:\\\\\"fire\\\\\"\" /Close\n", true },
        { "this macro's, made earlier",
            "[Desktop Entry]\nName=firefox\nExec=/old/quorvel \"/Open:\\\\\"firefox\\\\\"\" "
            "/Close\n",
            false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        Catalog cat("[Main]\nEntries=1\n[Macro1]\nName=firefox\n");
        const auto folders = foldersIn(cat.dir.path());
        for (const auto folder : { ShellFolder::sfStartMenu, ShellFolder::sfStartup }) {
            const auto place = folders.path(folder);
            std::filesystem::create_directories(place);
            writeFile(place + "/firefox.desktop", c.existing);
            DesktopShortcutMaker(cat.catalogue, folders, "/q", "").Shortcut_Create(folder, 1);
            const auto made = readFile(place + "/quorvel-macro-firefox.desktop");
            EXPECT_EQ(entryValue(made, "Name"), "firefox");
            EXPECT_EQ(std::filesystem::exists(place + "/firefox.desktop"), c.kept);
        }
    }
}

TEST(DesktopEntry, RecordWithoutNameOpensError)
{
    Catalog c("[Main]\nEntries=1\n[Macro1]\nType=1\n");
    const auto folders = foldersIn(c.dir.path());
    DesktopShortcutMaker(c.catalogue, folders, "/q", "").Shortcut_Create(ShellFolder::sfStartup, 1);
    const auto text = readFile(folders.configHome + "/autostart/quorvel-macro-Error.desktop");
    EXPECT_EQ(parseExec(*entryValue(text, "Exec")),
        (std::vector<std::string> { "/q", "/Open:\"Error\"", "/Close" }));
}

// --- FileName and ShellFolder ---------------------------------------------------------------

struct FileNameCase
{
    const char *name;
    ShellFolder folder;
    std::string value;
    std::string expected; // "@" stands for the desktop folder
};

class FileNames : public ::testing::TestWithParam<FileNameCase>
{
};

TEST_P(FileNames, FollowTheRule)
{
    const auto folders = foldersIn("/r");
    TPBShellLink link(folders);
    link.SetShellFolder(GetParam().folder);
    link.SetFileName(GetParam().value);
    auto expected = GetParam().expected;
    if (expected.starts_with("@"))
        expected = "/r/home/Desktop" + expected.substr(1);
    EXPECT_EQ(link.FileName(), expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, FileNames,
    ::testing::Values(FileNameCase { "plain", ShellFolder::sfDesktop, "Notes", "@/Notes.desktop" },
        FileNameCase {
            "upperExtensionKept", ShellFolder::sfDesktop, "Notes.DESKTOP", "@/Notes.DESKTOP" },
        FileNameCase {
            "otherExtension", ShellFolder::sfDesktop, "Notes.txt", "@/Notes.txt.desktop" },
        FileNameCase { "extensionAlone", ShellFolder::sfDesktop, ".desktop", "" },
        FileNameCase { "extensionAloneUpper", ShellFolder::sfNone, "/a/.Desktop", "" },
        FileNameCase {
            "lastComponentOnly", ShellFolder::sfDesktop, "../../etc/x.desktop", "@/x.desktop" },
        FileNameCase { "trailingSlash", ShellFolder::sfDesktop, "a/", "" },
        FileNameCase { "dotDot", ShellFolder::sfDesktop, "..", "@/...desktop" },
        FileNameCase { "noFolderUnchanged", ShellFolder::sfNone, "/tmp/a/b", "/tmp/a/b.desktop" },
        FileNameCase { "unofferedFolderIsRoot", ShellFolder::sfFonts, "F", "/F.desktop" }),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ShellFolderRule, ChangingTheFolderMovesTheFile)
{
    TPBShellLink link(foldersIn("/r"));
    link.SetFileName("/x/Mail.desktop");
    link.SetShellFolder(ShellFolder::sfStartup);
    EXPECT_EQ(link.FileName(), "/r/config/autostart/Mail.desktop");
    link.SetShellFolder(ShellFolder::sfNone);
    EXPECT_EQ(link.FileName(), "/r/config/autostart/Mail.desktop");
}

// --- Places -----------------------------------------------------------------------------------

struct PlaceCase
{
    const char *name;
    const char *configHome; // below the temporary root when absolute; nullptr unsets it
    const char *dataHome;
    const char *userDirs; // content of user-dirs.dirs; nullptr for none
    std::map<ShellFolder, std::string> expected; // "~" the home, "^" the root
};

class Places : public ::testing::TestWithParam<PlaceCase>
{
};

TEST_P(Places, ResolveUnderHome)
{
    TempDir root;
    const auto &c = GetParam();
    ScopedEnv env;
    const auto home = root.path() + "/home";
    env.set("HOME", home.c_str());
    // Values not starting with "/" are given as they stand.
    const auto inRoot = [&](const char *v) {
        return !v ? std::string() : v[0] == '/' ? root.path() + v : std::string(v);
    };
    const auto config = inRoot(c.configHome);
    const auto data = inRoot(c.dataHome);
    env.set("XDG_CONFIG_HOME", c.configHome ? config.c_str() : nullptr);
    env.set("XDG_DATA_HOME", c.dataHome ? data.c_str() : nullptr);
    if (c.userDirs) {
        const auto folder = c.configHome ? config : home + "/.config";
        std::filesystem::create_directories(folder);
        writeFile(folder + "/user-dirs.dirs", c.userDirs);
    }
    const auto folders = ShellFolders::fromEnvironment(root.path() + "/q/");
    for (const auto &[folder, want] : c.expected) {
        std::string expected = want;
        if (expected.starts_with("~"))
            expected = home + expected.substr(1);
        else if (expected.starts_with("^"))
            expected = root.path() + expected.substr(1);
        EXPECT_EQ(folders.path(folder), expected) << static_cast<int>(folder);
    }
}

INSTANTIATE_TEST_SUITE_P(Environments, Places,
    ::testing::Values(PlaceCase { "defaults", nullptr, nullptr, nullptr,
                          { { ShellFolder::sfDesktop, "~/Desktop" },
                              { ShellFolder::sfStartMenu, "~/.local/share/applications" },
                              { ShellFolder::sfPrograms, "~/.local/share/applications/quorvel" },
                              { ShellFolder::sfStartup, "~/.config/autostart" },
                              { ShellFolder::sfFavorites, "^/q/Favorites" },
                              { ShellFolder::sfPersonal, "~/Documents" },
                              { ShellFolder::sfNone, "" }, { ShellFolder::sfRecent, "" } } },
        PlaceCase { "xdgHomes", "/cfg", "/dat", nullptr,
            { { ShellFolder::sfStartMenu, "^/dat/applications" },
                { ShellFolder::sfPrograms, "^/dat/applications/quorvel" },
                { ShellFolder::sfStartup, "^/cfg/autostart" },
                { ShellFolder::sfDesktop, "~/Desktop" } } },
        PlaceCase { "relativeXdgIgnored", "relative/cfg", "relative/dat", nullptr,
            { { ShellFolder::sfStartup, "~/.config/autostart" },
                { ShellFolder::sfStartMenu, "~/.local/share/applications" } } },
        PlaceCase { "userDirs", "/cfg", nullptr,
            "# written by the desktop\nXDG_DESKTOP_DIR=\"$HOME/Bureau\"\n"
            "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\nXDG_MUSIC_DIR=\"$HOME/Musique\"\n",
            { { ShellFolder::sfDesktop, "~/Bureau" }, { ShellFolder::sfPersonal, "/srv/docs" } } },
        PlaceCase { "userDirsDesktopIsHome", nullptr, nullptr,
            "XDG_DESKTOP_DIR=\"$HOME\"\nXDG_DOCUMENTS_DIR=relative/bad\n",
            { { ShellFolder::sfDesktop, "~" }, { ShellFolder::sfPersonal, "~/Documents" } } }),
    [](const auto &info) { return std::string(info.param.name); });

// --- Failures ---------------------------------------------------------------------------------

TEST(ShortcutFailure, NoFolderWritesNothingAndSaysSo)
{
    Catalog c("[Main]\nEntries=1\n[Macro1]\nName=Mail\n");
    ShellFolders nowhere { "", "", "", "" };
    DesktopShortcutMaker maker(c.catalogue, nowhere, "/q", "<svg/>");
    for (auto folder : { ShellFolder::sfDesktop, ShellFolder::sfStartMenu, ShellFolder::sfPrograms,
             ShellFolder::sfStartup, ShellFolder::sfFavorites, ShellFolder::sfPersonal }) {
        try {
            maker.Shortcut_Create(folder, 1);
            ADD_FAILURE() << "wrote for folder " << static_cast<int>(folder);
        } catch (const Error &e) {
            EXPECT_STREQ(e.what(),
                "Erreur en \xC3\xA9"
                "criture.");
        }
    }
    EXPECT_FALSE(std::filesystem::exists("/quorvel-macro-Mail.desktop"));
}

TEST(ShortcutFailure, UnwritableFolderRaisesWriteError)
{
    Catalog c("[Main]\nEntries=1\n[Macro1]\nName=Mail\n");
    auto folders = foldersIn(c.dir.path());
    // A file where the folder should be: no user, root included, can write below it.
    writeFile(c.dir.file("config"), "not a folder");
    DesktopShortcutMaker maker(c.catalogue, folders, "/q", "");
    EXPECT_THROW(maker.Shortcut_Create(ShellFolder::sfStartup, 1), Error);

    // An entry in the way as a folder: the rename fails and no temporary file stays.
    std::filesystem::create_directories(
        folders.dataHome + "/applications/quorvel-macro-Mail.desktop");
    EXPECT_THROW(maker.Shortcut_Create(ShellFolder::sfStartMenu, 1), Error);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folders.dataHome + "/applications"),
                  std::filesystem::directory_iterator()),
        1);
}

} // namespace
