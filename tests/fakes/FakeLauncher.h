// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Launcher.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel::testing {

// Records what would have been started.
class FakeLauncher : public Launcher
{
public:
    struct Call
    {
        std::string file;
        std::string parameters;
        std::string folder;
        bool operator==(const Call &) const = default;
    };
    std::vector<Call> calls;
    std::function<void(const Call &)> onOpen;

    void open(
        const std::string &file, const std::string &parameters, const std::string &folder) override
    {
        calls.push_back(Call { file, parameters, folder });
        if (onOpen)
            onOpen(calls.back());
    }
};

} // namespace quorvel::testing
