// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ShellLink.h"

#include "catalogue/Catalogue.h"
#include "catalogue/MacroFiles.h"
#include "common/Error.h"
#include "common/Text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

const char *const kWriteError = "Erreur en \xC3\xA9"
                                "criture.";

namespace {

constexpr std::string_view kExtension = ".desktop";

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string withoutTrailingSlash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string lastComponent(const std::string &value)
{
    const auto slash = value.rfind('/');
    return slash == std::string::npos ? value : value.substr(slash + 1);
}

bool endsWithExtension(const std::string &value)
{
    return value.size() >= kExtension.size()
        && text::upperAscii(value.substr(value.size() - kExtension.size()))
        == text::upperAscii(kExtension);
}

// Whether the desktop entry at path is a regular file whose Exec passes exactly these
// arguments to its program.
bool startsMacro(const std::string &path, const std::vector<std::string> &arguments)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 65536)
        return false;
    std::ifstream in(path, std::ios::binary);
    const std::string tail = " " + desktopentry::execLine(arguments);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("Exec=") && line.size() > tail.size() + 5 && line.ends_with(tail))
            return true;
    }
    return false;
}

// XDG base folders must be absolute; anything else counts as unset.
std::string baseFolder(const char *variable, const std::string &home, const char *below)
{
    auto value = env(variable);
    if (!value.empty() && value.front() == '/')
        return withoutTrailingSlash(value);
    return home.empty() ? std::string() : home + below;
}

// One line of user-dirs.dirs: KEY="$HOME/path" or KEY="/path".
std::string userDirValue(std::string_view quoted, const std::string &home)
{
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
        return {};
    std::string value;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '\\' && i + 2 < quoted.size())
            ++i;
        value.push_back(quoted[i]);
    }
    if (value == "$HOME" || value.starts_with("$HOME/"))
        return home.empty() ? std::string() : home + value.substr(5);
    return value.starts_with('/') ? value : std::string();
}

bool writeAllFd(int fd, const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void writeAtomically(const std::string &target, const std::string &bytes, mode_t mode)
{
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw Error(kWriteError);
    const bool written = ::fchmod(fd, mode) == 0 && writeAllFd(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw Error(kWriteError);
    }
}

bool isReserved(char c)
{
    return std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos
        || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

} // namespace

ShellFolders ShellFolders::fromEnvironment(const std::string &dataFolder)
{
    ShellFolders f;
    auto home = env("HOME");
    f.home = home.empty() || home.front() != '/' ? std::string() : withoutTrailingSlash(home);
    f.configHome = baseFolder("XDG_CONFIG_HOME", f.home, "/.config");
    f.dataHome = baseFolder("XDG_DATA_HOME", f.home, "/.local/share");
    f.dataFolder = dataFolder;
    return f;
}

std::string ShellFolders::userDir(std::string_view key, std::string_view fallback) const
{
    std::string found;
    if (!configHome.empty()) {
        std::ifstream in(configHome + "/user-dirs.dirs");
        std::string line;
        while (std::getline(in, line)) {
            const auto start = line.find_first_not_of(" \t");
            if (start == std::string::npos || line[start] == '#')
                continue;
            const auto eq = line.find('=', start);
            if (eq == std::string::npos || std::string_view(line).substr(start, eq - start) != key)
                continue;
            auto value = std::string_view(line).substr(eq + 1);
            while (!value.empty()
                && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
                value.remove_suffix(1);
            found = userDirValue(value, home); // the last one counts, as in a shell
        }
    }
    if (!found.empty())
        return withoutTrailingSlash(found);
    return home.empty() ? std::string() : home + "/" + std::string(fallback);
}

std::string ShellFolders::path(ShellFolder folder) const
{
    const auto below = [](const std::string &base, const char *rest) {
        return base.empty() ? std::string() : base + rest;
    };
    switch (folder) {
    case ShellFolder::sfDesktop:
        return userDir("XDG_DESKTOP_DIR", "Desktop");
    case ShellFolder::sfStartMenu:
        return below(dataHome, "/applications");
    case ShellFolder::sfPrograms:
        return below(dataHome, "/applications/quorvel");
    case ShellFolder::sfStartup:
        return below(configHome, "/autostart");
    case ShellFolder::sfFavorites:
        return dataFolder.empty() ? std::string() : dataFolder + "Favorites";
    case ShellFolder::sfPersonal:
        return userDir("XDG_DOCUMENTS_DIR", "Documents");
    default:
        return {};
    }
}

TPBShellLink::TPBShellLink(ShellFolders folders)
    : m_folders(std::move(folders))
{
}

std::string TPBShellLink::inFolder(const std::string &value) const
{
    return m_folders.path(m_shellFolder) + "/" + lastComponent(value);
}

void TPBShellLink::SetShellFolder(ShellFolder folder)
{
    if (folder == m_shellFolder)
        return;
    m_shellFolder = folder;
    if (folder != ShellFolder::sfNone)
        m_fileName = inFolder(m_fileName);
}

void TPBShellLink::SetFileName(const std::string &value)
{
    if (value == m_fileName)
        return;
    auto result = m_shellFolder == ShellFolder::sfNone ? value : inFolder(value);
    if (!endsWithExtension(result))
        result += kExtension;
    if (text::upperAscii(lastComponent(result)) == text::upperAscii(kExtension))
        result.clear();
    m_fileName = result;
}

std::string TPBShellLink::text() const
{
    using desktopentry::escapeString;
    std::ostringstream out;
    out << "[Desktop Entry]\n"
        << "Version=1.0\n"
        << "Type=Application\n"
        << "Name=" << escapeString(Name.empty() ? Description : Name) << "\n"
        << "Comment=" << escapeString(Description) << "\n";
    std::vector<std::string> argv { Target };
    argv.insert(argv.end(), Arguments.begin(), Arguments.end());
    out << "Exec=" << desktopentry::execLine(argv) << "\n";
    if (!WorkingDir.empty())
        out << "Path=" << escapeString(WorkingDir) << "\n";
    if (!FileIcon.FileName.empty())
        out << "Icon=" << escapeString(FileIcon.FileName) << "\n";
    out << "Terminal=false\n";
    if (HotKey != 0)
        out << "X-Quorvel-HotKey=" << HotKey << "\n";
    return out.str();
}

void TPBShellLink::Save() const
{
    const auto slash = m_fileName.rfind('/');
    // A folder that could not be found leaves "/name": never write into the root.
    if (m_fileName.empty() || slash == std::string::npos || slash == 0
        || lastComponent(m_fileName).empty())
        throw Error(kWriteError);
    const auto folder = m_fileName.substr(0, slash);
    if (withoutTrailingSlash(folder) == "/" || !makeFolders(folder))
        throw Error(kWriteError);
    writeAtomically(m_fileName, text(), 0755);
}

std::string shortcutFileName(std::string_view macroName)
{
    return std::string(kShortcutPrefix) + lastComponent(std::string(macroName))
        + std::string(kExtension);
}

namespace desktopentry {

std::string escapeString(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string quoteArgument(std::string_view argument)
{
    bool quote = argument.empty();
    for (char c : argument)
        quote = quote || isReserved(c);
    std::string out;
    if (quote)
        out.push_back('"');
    for (char c : argument) {
        if (c == '%') {
            out += "%%";
            continue;
        }
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out.push_back('\\');
        out.push_back(c);
    }
    if (quote)
        out.push_back('"');
    return out;
}

std::string execLine(const std::vector<std::string> &argv)
{
    std::string line;
    for (const auto &argument : argv) {
        if (!line.empty())
            line.push_back(' ');
        line += quoteArgument(argument);
    }
    return escapeString(line);
}

} // namespace desktopentry

DesktopShortcutMaker::DesktopShortcutMaker(
    Catalogue &catalogue, ShellFolders folders, std::string exe, std::string iconSvg)
    : m_catalogue(catalogue)
    , m_folders(std::move(folders))
    , m_exe(std::move(exe))
    , m_iconSvg(std::move(iconSvg))
{
}

std::string DesktopShortcutMaker::installIcon() const
{
    if (m_folders.dataHome.empty() || m_iconSvg.empty())
        return {};
    const auto folder = m_folders.dataHome + "/icons/hicolor/scalable/apps";
    auto file = folder + "/quorvel.svg";
    struct stat st
    {
    };
    if (::stat(file.c_str(), &st) == 0)
        return file;
    try {
        if (!makeFolders(folder))
            return {};
        writeAtomically(file, m_iconSvg, 0644);
    } catch (const Error &) {
        return {}; // an entry without its icon still starts the macro
    }
    return file;
}

void DesktopShortcutMaker::Shortcut_Create(ShellFolder folder, int number)
{
    const auto record = m_catalogue.record(number);
    const auto name = record.name.empty() ? std::string("Error") : record.name;
    const auto base = lastComponent(name);
    TPBShellLink link(m_folders);
    link.SetShellFolder(folder);
    link.SetFileName(base.empty() ? std::string() : shortcutFileName(name));
    link.Name = name;
    link.Description = name;
    link.Target = m_exe;
    link.Arguments = { "/Open:\"" + name + "\"", "/Close" };
    link.WorkingDir = withoutTrailingSlash(m_folders.dataFolder);
    link.HotKey = int(record.hotKey);
    link.FileIcon.FileName = installIcon();
    link.Save();
    // Entries were once named after the macro alone; one of those that starts this macro is
    // the shortcut just replaced, and left behind it would hide a program's own entry.
    const auto earlier = m_folders.path(folder) + "/" + base + std::string(kExtension);
    if (!base.empty() && earlier != link.FileName() && startsMacro(earlier, link.Arguments))
        ::unlink(earlier.c_str());
}

} // namespace quorvel
