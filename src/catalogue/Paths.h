// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Where the catalogue and the data files live. QUORVEL_HOME puts both in one folder;
// otherwise the catalogue is $XDG_CONFIG_HOME/quorvel/macros.ini and data files are in
// $XDG_DATA_HOME/quorvel/.
struct Paths
{
    std::string catalogueFile;
    std::string programFolder; // with its trailing separator

    static Paths fromEnvironment();
    // Both in one folder.
    static Paths inFolder(const std::string &folder);
    // The catalogue at file, its data files beside it.
    static Paths forCatalogue(const std::string &file);
};

// Whether a data file name from the catalogue stays inside the data folder: not empty, not
// "." or "..", no slash, no backslash (a separator in catalogues written on Windows), no NUL.
bool isSafeDataFileName(std::string_view name);
// folder (with its trailing separator) followed by name, or nothing when name is not safe.
std::optional<std::string> dataFilePath(const std::string &folder, std::string_view name);

// Creates a folder and its parents; false when that fails.
bool makeFolders(const std::string &folder);

} // namespace quorvel
