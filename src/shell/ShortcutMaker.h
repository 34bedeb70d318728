// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel {

// The per-user folders a shortcut can be placed in.
enum class ShellFolder {
    sfNone,
    sfDesktop,
    sfFavorites,
    sfFonts,
    sfPersonal,
    sfPrograms,
    sfRecent,
    sfSendTo,
    sfStartMenu,
    sfStartup,
    sfTemplates,
};

// Makes or overwrites the shortcut that runs catalogue record number from folder.
class ShortcutMaker
{
public:
    virtual ~ShortcutMaker() = default;
    virtual void Shortcut_Create(ShellFolder folder, int number) = 0;
};

} // namespace quorvel
