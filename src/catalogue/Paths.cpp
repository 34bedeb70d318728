// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

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
    p.programFolder = withSlash(folder);
    p.catalogueFile = p.programFolder + "macros.ini";
    return p;
}

Paths Paths::forCatalogue(const std::string &file)
{
    Paths p;
    p.catalogueFile = file;
    const auto slash = file.rfind('/');
    p.programFolder = slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
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
    p.programFolder = withSlash(data) + "quorvel/";
    return p;
}

bool isSafeDataFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

std::optional<std::string> dataFilePath(const std::string &folder, std::string_view name)
{
    if (!isSafeDataFileName(name))
        return std::nullopt;
    return folder + std::string(name);
}

bool makeFolders(const std::string &folder)
{
    if (folder.empty())
        return true;
    struct stat st
    {
    };
    if (::stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const auto part = folder.substr(0, at);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (at == std::string::npos)
            break;
    }
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace quorvel
