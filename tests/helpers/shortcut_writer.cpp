// SPDX-License-Identifier: GPL-3.0-or-later
// shortcut_writer CATALOGUE PROGRAM FOLDER RECORD: writes record's shortcut for PROGRAM in
// folder FOLDER (the ordinal of ShellFolder), the places found from the environment. Prints
// the error's text and exits 1 when the shortcut cannot be made.
#include "catalogue/Catalogue.h"
#include "catalogue/Paths.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "shell/ShellLink.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

int main(int argc, char **argv)
{
    using namespace quorvel;
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: %s CATALOGUE PROGRAM FOLDER RECORD [ICON.svg]\n", argv[0]);
        return 2;
    }
    std::string icon;
    if (argc == 6) {
        std::ifstream in(argv[5], std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        icon = bytes.str();
    }
    const auto paths = Paths::forCatalogue(argv[1]);
    ProfileStore store(paths.catalogueFile);
    Catalogue catalogue(store);
    DesktopShortcutMaker maker(
        catalogue, ShellFolders::fromEnvironment(paths.dataFolder), argv[2], icon);
    try {
        maker.Shortcut_Create(static_cast<ShellFolder>(std::atoi(argv[3])), std::atoi(argv[4]));
    } catch (const Error &e) {
        std::printf("%s\n", e.what());
        return 1;
    }
    return 0;
}
