// SPDX-License-Identifier: GPL-3.0-or-later
// Replays recordings one after another through the Wayland journal into whatever has the
// focus, and prints one line per end: "done SECONDS" or "cancelled SECONDS".
// --cancel-after MS cancels the first replay that long after its start. Under sway, Esc
// pressed by the user cancels too.
// Usage: wayland_replay [--fast] [--cancel-after MS] FILE...
#include "common/Error.h"
#include "fakes/ReplayDriver.h"
#include "fakes/TestSupport.h"
#include "platform/wayland/SwayHotKeyRegistrar.h"
#include "platform/wayland/SwayIpc.h"
#include "recording/wayland/WaylandJournal.h"

#include <cstdio>
#include <memory>

using namespace quorvel;

int main(int argc, char **argv)
{
    testing::ReplayArguments args;
    if (!testing::parseReplayArguments(argc, argv, "wayland_replay", args))
        return 2;
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
    return testing::replayFiles(journal, args, hotKeys ? hotKeys->fileDescriptor() : -1, [&] {
        if (hotKeys)
            hotKeys->processEvents();
    });
}
