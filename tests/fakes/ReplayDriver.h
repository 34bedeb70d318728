// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quorvel {
class DeviceJournal;
}

namespace quorvel::testing {

// The replay test tools' command line: [--fast] [--cancel-after MS] [FLAG] FILE...
struct ReplayArguments
{
    std::string tool; // its name, for messages
    bool fast = false;
    int cancelAfterMs = -1; // cancels the first replay that long after its start
    bool flag = false; // the tool's own flag, when it has one
    std::vector<std::string> files;
};
// False, with the usage printed, when no file is named.
bool parseReplayArguments(
    int argc, char **argv, const char *tool, ReplayArguments &out, const char *flag = nullptr);

// Replays the files one after another into whatever has the focus and prints a line per end,
// "done SECONDS" or "cancelled SECONDS". The hot keys' descriptor (-1: none) is watched with
// the journal's, and processHotKeys runs when either wakes. Returns the exit status: 0 when
// each replay ended once and nothing followed.
int replayFiles(DeviceJournal &journal, const ReplayArguments &args, int hotKeysFd = -1,
    const std::function<void()> &processHotKeys = {});

} // namespace quorvel::testing
