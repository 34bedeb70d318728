// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// A kind-1 FileName: program, parameters and start-in folder joined by "~~".
struct LaunchDescription
{
    std::string program;
    std::string parameters;
    std::string folder;

    static LaunchDescription split(std::string_view fileName);
    std::string join() const;
};

} // namespace quorvel
