// SPDX-License-Identifier: GPL-3.0-or-later
// Types an advanced macro's text through the Wayland backend into whatever has the focus, as
// a run of the macro does, and prints how many keymaps it sent and how long it took, until
// the compositor had taken every key.
// Usage: wayland_type FILE
#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeTimers.h"
#include "fakes/FakeValuePrompt.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/TestSupport.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeySink.h"
#include "playback/MacroRunner.h"

#include <chrono>
#include <cstdio>
#include <thread>

using namespace quorvel;
using namespace quorvel::testing;

namespace {
class ConnectionPump : public EventPump
{
public:
    explicit ConnectionPump(wayland::WaylandConnection &connection)
        : m_connection(connection)
    {
    }
    void processMessages() override { m_connection.processEvents(); }
    void sleep(int milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

private:
    wayland::WaylandConnection &m_connection;
};
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: wayland_type FILE\n");
        return 2;
    }
    try {
        const std::string text = readFile(argv[1]);
        TempDir dir;
        ProfileStore store(dir.file("macros.ini"));
        Catalogue catalogue(store);
        wayland::WaylandConnection connection;
        wayland::WaylandKeySink keys(connection);
        ConnectionPump pump(connection);
        FakeWindowSystem windows;
        FakeLauncher launcher;
        FakeJournal journal;
        FakeValuePrompt prompt;
        FakeDateTimeFormatter dateTime;
        FakeTimers timers;
        MacroRunner runner(PlaybackServices { keys, keys, pump, windows, launcher, journal, prompt,
            dateTime, timers, catalogue, dir.path() + "/" });
        const auto start = std::chrono::steady_clock::now();
        runner.interpreter().runAdvancedMacroText(text);
        keys.releaseAll();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("keymaps %d seconds %.3f\n", keys.keymapCount(), took.count());
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "wayland_type: %s\n", e.what());
        return 1;
    }
}
