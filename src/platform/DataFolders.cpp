// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DataFolders.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace quorvel {

namespace {

std::string environment(const char *name, const std::string &otherwise)
{
    const char *value = std::getenv(name);
    return value && *value ? value : otherwise;
}

} // namespace

bool dataFileInstalled(
    const std::string &dataHome, const std::string &dataDirs, const std::string &relative)
{
    std::vector<std::string> folders { dataHome };
    std::istringstream dirs(dataDirs);
    for (std::string dir; std::getline(dirs, dir, ':');)
        folders.push_back(dir);
    return std::any_of(folders.begin(), folders.end(), [&](const std::string &folder) {
        return !folder.empty() && access((folder + "/" + relative).c_str(), R_OK) == 0;
    });
}

bool dataFileInstalled(const std::string &relative)
{
    return dataFileInstalled(
        environment("XDG_DATA_HOME", environment("HOME", "") + "/.local/share"),
        environment("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), relative);
}

} // namespace quorvel
