// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Launcher.h"

#include <string>
#include <vector>

namespace quorvel {

// Splits a parameter text into arguments with shell-like quoting but no expansion of any
// kind. A backslash escapes only a quote, a blank or a backslash, so Windows-style paths keep
// their separators.
std::vector<std::string> splitArguments(const std::string &parameters);

// What open() would start, decided without starting it.
struct LaunchPlan
{
    std::vector<std::string> argv; // empty: nothing to start
    std::string folder; // working folder, empty for the current one
};
LaunchPlan planLaunch(
    const std::string &file, const std::string &parameters, const std::string &folder);

// Starts executables directly and opens everything else (documents, URLs) with xdg-open.
// Children are detached and reaped at once; no shell runs in between.
class PosixLauncher : public Launcher
{
public:
    void open(
        const std::string &file, const std::string &parameters, const std::string &folder) override;
};

// Starts argv detached; false when it could not even be forked.
bool spawnDetached(const std::vector<std::string> &argv, const std::string &folder);

} // namespace quorvel
