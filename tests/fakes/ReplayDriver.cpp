// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/ReplayDriver.h"

#include "common/Error.h"
#include "recording/DeviceJournal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>

namespace quorvel::testing {

using Clock = std::chrono::steady_clock;

bool parseReplayArguments(
    int argc, char **argv, const char *tool, ReplayArguments &out, const char *flag)
{
    out.tool = tool;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fast")
            out.fast = true;
        else if (arg == "--cancel-after" && i + 1 < argc)
            out.cancelAfterMs = std::atoi(argv[++i]);
        else if (flag && arg == flag)
            out.flag = true;
        else
            out.files.push_back(arg);
    }
    if (!out.files.empty())
        return true;
    std::fprintf(stderr, "usage: %s [--fast] [--cancel-after MS]%s%s FILE...\n", tool,
        flag ? " " : "", flag ? flag : "");
    return false;
}

int replayFiles(DeviceJournal &journal, const ReplayArguments &args, int hotKeysFd,
    const std::function<void()> &processHotKeys)
{
    int ends = 0;
    Clock::time_point start;
    journal.OnFinished = [&](bool userCancel) {
        ++ends;
        const std::chrono::duration<double> took = Clock::now() - start;
        std::printf("%s %.3f\n", userCancel ? "cancelled" : "done", took.count());
        std::fflush(stdout);
        start = Clock::now();
    };
    journal.HiSpeedPlayBack = args.fast;
    // Pumps until the deadline, or until that many replays have ended (0: no end awaited).
    const auto pump = [&](Clock::time_point deadline, int until) {
        while (Clock::now() < deadline && (until == 0 || ends < until)) {
            pollfd fds[] { { journal.fileDescriptor(), POLLIN, 0 }, { hotKeysFd, POLLIN, 0 } };
            ::poll(fds, 2, 10);
            if (processHotKeys)
                processHotKeys();
            journal.processEvents();
        }
    };
    try {
        for (std::size_t i = 0; i < args.files.size(); ++i) {
            journal.PlayBackFileName = args.files[i];
            start = Clock::now();
            journal.StartPlayBack();
            if (i == 0 && args.cancelAfterMs >= 0) {
                pump(start + std::chrono::milliseconds(args.cancelAfterMs), int(i) + 1);
                journal.cancelPlayBack();
            }
            pump(start + std::chrono::seconds(30), int(i) + 1);
        }
        // Nothing more may follow.
        pump(Clock::now() + std::chrono::milliseconds(200), 0);
    } catch (const Error &e) {
        std::fprintf(stderr, "%s: %s\n", args.tool.c_str(), e.what());
        return 1;
    }
    return ends == int(args.files.size()) ? 0 : 1;
}

} // namespace quorvel::testing
