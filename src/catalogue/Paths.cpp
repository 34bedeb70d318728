// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Paths.h"

#include <cstdlib>

namespace quorvel {

namespace {
std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');
    return folder;
}

std::string homeFolder()
{
    auto home = env("HOME");
    return home.empty() ? std::string("/tmp") : home;
}
} // namespace

Paths Paths::inFolder(const std::string &folder)
{
    Paths p;
    p.dataFolder = withSlash(folder);
    p.catalogueFile = p.dataFolder + "macros.ini";
    return p;
}

Paths Paths::forCatalogue(const std::string &file)
{
    Paths p;
    p.catalogueFile = file;
    const auto slash = file.rfind('/');
    p.dataFolder = slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
    return p;
}

Paths Paths::fromEnvironment()
{
    if (const auto home = env("QUORVEL_HOME"); !home.empty())
        return inFolder(home);
    auto config = env("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/')
        config = homeFolder() + "/.config";
    auto data = env("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/')
        data = homeFolder() + "/.local/share";
    Paths p;
    p.catalogueFile = withSlash(config) + "quorvel/macros.ini";
    p.dataFolder = withSlash(data) + "quorvel/";
    return p;
}

} // namespace quorvel
