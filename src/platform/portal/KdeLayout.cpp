// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/KdeLayout.h"

#include "platform/wayland/SwayBindings.h"

#include <cstdlib>

namespace quorvel::portal {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

xkb::LayoutNames kdeLayoutNames(std::string_view kxkbrc)
{
    xkb::LayoutNames names;
    bool inLayout = false;
    while (!kxkbrc.empty()) {
        const std::size_t eol = kxkbrc.find('\n');
        const std::string_view line = trimmed(kxkbrc.substr(0, eol));
        kxkbrc.remove_prefix(eol == std::string_view::npos ? kxkbrc.size() : eol + 1);
        if (line.starts_with('[')) {
            inLayout = line == "[Layout]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inLayout || equals == std::string_view::npos)
            continue;
        // KConfig marks keys it must not change with "[$i]" after the name.
        std::string_view key = trimmed(line.substr(0, equals));
        if (const std::size_t mark = key.find('['); mark != std::string_view::npos)
            key = trimmed(key.substr(0, mark));
        const std::string value(trimmed(line.substr(equals + 1)));
        if (key == "LayoutList")
            names.layout = value;
        else if (key == "VariantList")
            names.variant = value;
        else if (key == "Options")
            names.options = value;
    }
    // Variants and options belong to the layouts given; alone they would change the default.
    if (names.layout.empty())
        return {};
    return names;
}

xkb::LayoutNames readKdeLayoutNames(const std::string &configHome)
{
    // The user's file, read as data: a FIFO or a huge file there must not hang the start.
    const auto text = wayland::readRegularFile(configHome + "/kxkbrc", std::size_t(256) * 1024);
    return text ? kdeLayoutNames(*text) : xkb::LayoutNames {};
}

xkb::LayoutNames readKdeLayoutNames()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/')
        return readKdeLayoutNames(config);
    const char *home = std::getenv("HOME");
    return readKdeLayoutNames(std::string(home ? home : "") + "/.config");
}

} // namespace quorvel::portal
