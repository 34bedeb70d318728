// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/ShortcutMaker.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class Catalogue;

// The per-user folders a shortcut goes to, found the freedesktop way at the moment of asking.
struct ShellFolders
{
    std::string home;
    std::string configHome; // $XDG_CONFIG_HOME or ~/.config
    std::string dataHome; // $XDG_DATA_HOME or ~/.local/share
    std::string dataFolder; // the program's data folder, with its trailing separator

    static ShellFolders fromEnvironment(const std::string &dataFolder);

    // The folder's path without a trailing separator; empty when there is none.
    std::string path(ShellFolder folder) const;
    // XDG_DESKTOP_DIR and the like from user-dirs.dirs; fallback below home when absent.
    std::string userDir(std::string_view key, std::string_view fallback) const;
};

// One shortcut, written as a desktop entry.
class TPBShellLink
{
public:
    enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
    struct TFileIcon
    {
        std::string FileName;
        int IconIndex = 0;
    };

    explicit TPBShellLink(ShellFolders folders);

    const std::string &FileName() const { return m_fileName; }
    void SetFileName(const std::string &value);
    ShellFolder GetShellFolder() const { return m_shellFolder; }
    void SetShellFolder(ShellFolder folder);

    std::string Name; // shown by the desktop; the description otherwise
    std::string Description;
    std::string Target;
    std::vector<std::string> Arguments;
    std::string WorkingDir;
    TWindowState WindowState = TWindowState::wsNormal;
    int HotKey = 0;
    TFileIcon FileIcon;

    // The desktop entry's text.
    std::string text() const;
    // Writes FileName atomically, executable, replacing an earlier file.
    void Save() const;

private:
    std::string inFolder(const std::string &value) const;

    ShellFolders m_folders;
    std::string m_fileName;
    ShellFolder m_shellFolder = ShellFolder::sfNone;
};

namespace desktopentry {
// A value of type string: backslash, line breaks and tabs escaped.
std::string escapeString(std::string_view value);
// One argument of Exec, quoted where it must be; the file's own escaping not yet applied.
std::string quoteArgument(std::string_view argument);
// The Exec value for argv, ready for the file.
std::string execLine(const std::vector<std::string> &argv);
} // namespace desktopentry

// Shortcut files carry a prefix of their own, so a macro named like a program never takes
// the place of that program's entry in the menu or in autostart.
inline constexpr std::string_view kShortcutPrefix = "quorvel-macro-";
// The file name of a macro's shortcut: the prefix, the name's last path component, ".desktop".
std::string shortcutFileName(std::string_view macroName);

extern const char *const kWriteError; // "Erreur en écriture."

// Makes shortcuts of catalogue records.
class DesktopShortcutMaker : public ShortcutMaker
{
public:
    // exe: the running program's absolute path; iconSvg: the product icon installed for the
    // entries when the user has none yet.
    DesktopShortcutMaker(
        Catalogue &catalogue, ShellFolders folders, std::string exe, std::string iconSvg);
    void Shortcut_Create(ShellFolder folder, int number) override;

    // The product icon's path, installed below dataHome if missing; empty when that fails.
    std::string installIcon() const;

private:
    Catalogue &m_catalogue;
    ShellFolders m_folders;
    std::string m_exe;
    std::string m_iconSvg;
};

} // namespace quorvel
