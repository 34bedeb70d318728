// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

// Where the catalogue and the data files live. QUORVEL_HOME puts both in one folder;
// otherwise the catalogue is $XDG_CONFIG_HOME/quorvel/macros.ini and data files are in
// $XDG_DATA_HOME/quorvel/.
struct Paths
{
    std::string catalogueFile;
    std::string dataFolder; // with its trailing separator

    static Paths fromEnvironment();
    // Both in one folder.
    static Paths inFolder(const std::string &folder);
    // The catalogue at file, its data files beside it.
    static Paths forCatalogue(const std::string &file);
};

} // namespace quorvel
