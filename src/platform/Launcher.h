// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

// ShellExecuteA's "open": starts a program or opens a document. Failures are silent.
class Launcher
{
public:
    virtual ~Launcher() = default;
    virtual void open(
        const std::string &file, const std::string &parameters, const std::string &folder) = 0;
};

} // namespace quorvel
