// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/LaunchDescription.h"

namespace quorvel {

namespace {
constexpr std::string_view kSeparator = "~~";
}

LaunchDescription LaunchDescription::split(std::string_view fileName)
{
    LaunchDescription d;
    const auto first = fileName.find(kSeparator);
    if (first == std::string_view::npos) {
        d.program = std::string(fileName);
        return d;
    }
    d.program = std::string(fileName.substr(0, first));
    const auto rest = fileName.substr(first + kSeparator.size());
    const auto second = rest.find(kSeparator);
    if (second == std::string_view::npos) {
        d.parameters = std::string(rest);
        return d;
    }
    d.parameters = std::string(rest.substr(0, second));
    d.folder = std::string(rest.substr(second + kSeparator.size()));
    return d;
}

std::string LaunchDescription::join() const
{
    return program + std::string(kSeparator) + parameters + std::string(kSeparator) + folder;
}

} // namespace quorvel
