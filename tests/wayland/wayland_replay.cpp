// SPDX-License-Identifier: GPL-3.0-or-later
// Replays recordings one after another through the Wayland journal into whatever has the
// focus, and prints one line per end: "done SECONDS" or "cancelled SECONDS".
// --cancel-after MS cancels the first replay that long after its start. Under sway, Esc
// pressed by the user cancels too.
// Usage: wayland_replay [--fast] [--cancel-after MS] FILE...
#include "common/Error.h"
#include "fakes/TestSupport.h"
#include "platform/wayland/SwayHotKeyRegistrar.h"
#include "platform/wayland/SwayIpc.h"
#include "recording/wayland/WaylandJournal.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

using namespace quorvel;
using Clock = std::chrono::steady_clock;

int main(int argc, char **argv)
{
    bool fast = false;
    int cancelAfterMs = -1;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fast")
            fast = true;
        else if (arg == "--cancel-after" && i + 1 < argc)
            cancelAfterMs = std::atoi(argv[++i]);
        else
            files.push_back(arg);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: wayland_replay [--fast] [--cancel-after MS] FILE...\n");
        return 2;
    }
    testing::TempDir state;
    std::unique_ptr<wayland::SwayHotKeyRegistrar> hotKeys;
    if (!wayland::SwayIpc::socketPath().empty())
        hotKeys = std::make_unique<wayland::SwayHotKeyRegistrar>(
            wayland::SwayIpc::socketPath(), state.path());
    WaylandJournal journal;
    if (!journal.available()) {
        std::fprintf(stderr, "wayland_replay: %s\n", journal.unavailableReason().c_str());
        return 1;
    }
    // The registrar outlives the journal.
    journal.setCancelKeys(hotKeys.get());
    int ends = 0;
    Clock::time_point start;
    journal.OnFinished = [&](bool userCancel) {
        ++ends;
        const std::chrono::duration<double> took = Clock::now() - start;
        std::printf("%s %.3f\n", userCancel ? "cancelled" : "done", took.count());
    };
    journal.HiSpeedPlayBack = fast;
    // Pumps until the deadline, or until the replay has ended when until is 0.
    const auto pump = [&](Clock::time_point deadline, int until) {
        while (Clock::now() < deadline && (until == 0 || ends < until)) {
            std::array<pollfd, 2> fds { { { journal.fileDescriptor(), POLLIN, 0 },
                { hotKeys ? hotKeys->fileDescriptor() : -1, POLLIN, 0 } } };
            poll(fds.data(), fds.size(), 10);
            if (hotKeys)
                hotKeys->processEvents();
            journal.processEvents();
        }
    };
    try {
        for (std::size_t i = 0; i < files.size(); ++i) {
            journal.PlayBackFileName = files[i];
            start = Clock::now();
            journal.StartPlayBack();
            if (i == 0 && cancelAfterMs >= 0) {
                pump(start + std::chrono::milliseconds(cancelAfterMs), int(i) + 1);
                journal.cancelPlayBack();
            }
            pump(start + std::chrono::seconds(30), int(i) + 1);
        }
        // Nothing more may follow.
        pump(Clock::now() + std::chrono::milliseconds(200), 0);
    } catch (const Error &e) {
        std::fprintf(stderr, "wayland_replay: %s\n", e.what());
        return 1;
    }
    return ends == int(files.size()) ? 0 : 1;
}
