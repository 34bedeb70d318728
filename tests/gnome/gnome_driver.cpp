// SPDX-License-Identifier: GPL-3.0-or-later
// The GNOME backend on its own, for the GNOME tests and figures. Times are CLOCK_MONOTONIC
// seconds, as Python's time.monotonic() gives them.
// Usage: gnome_driver type FILE          types an advanced macro's text into the focused
//                                        window; prints the routes taken and the seconds
//        gnome_driver list               the windows, topmost first, one a line
//        gnome_driver focus TITLE        activates the window of that title (any letter case);
//                                        status 0 when it is then the foreground window
//        gnome_driver state              the extension's state, then what to do about it
//        gnome_driver trigger TITLE      waits for a window of that title, then types "x";
//                                        prints the time the key had reached the shell
//        gnome_driver hotkey MODS VK N   registers the combination (hotkeymod bits, virtual
//                                        key), prints "ready", then for each of N presses
//                                        types "x" once Ctrl and Alt are up and prints the
//                                        time the key had reached the shell; "refused" when
//                                        the shell refused it
//        gnome_driver replay [--fast] FILE...  replays the recordings one after another
//                                        into the focused window, Esc cancelling; prints
//                                        "ready", then "done SECONDS" or "cancelled SECONDS"
//                                        for each
#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Error.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeTimers.h"
#include "fakes/FakeValuePrompt.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/ReplayDriver.h"
#include "fakes/TestSupport.h"
#include "platform/gnome/GnomeHotKeyRegistrar.h"
#include "platform/gnome/GnomeShellKeySink.h"
#include "platform/gnome/GnomeWindowSystem.h"
#include "platform/wayland/CompositorQueues.h"
#include "playback/MacroRunner.h"
#include "recording/gnome/GnomeJournal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

class SleepPump : public EventPump
{
public:
    void processMessages() override { }
    void sleep(int milliseconds) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

double monotonic()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One "x" through the sink, until the shell has it.
double typeX(gnome::GnomeShellKeySink &keys)
{
    const KeyScan x = keys.keyScan(U'x');
    keys.keyEvent(x.key, 0, false, false);
    keys.keyEvent(x.key, 0, false, true);
    keys.flush();
    return monotonic();
}

void waitForInput(int fd)
{
    pollfd p { fd, POLLIN, 0 };
    poll(&p, 1, 100);
}

// As the program does: a connection to the compositor that sends nothing, to tell the queues
// of its clients, so typing waits for one that lags.
int connectToCompositor()
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::string path =
        std::string(std::getenv("XDG_RUNTIME_DIR")) + "/" + std::getenv("WAYLAND_DISPLAY");
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        throw Error("Cannot connect to the compositor");
    return fd;
}

int type(const char *file)
{
    const std::string text = readFile(file);
    TempDir dir;
    ProfileStore store(dir.file("macros.ini"));
    Catalogue catalogue(store);
    const int compositor = connectToCompositor();
    wayland::CompositorQueues queues(compositor);
    TypingPace pace;
    gnome::GnomeShellKeySink keys(dbus::Bus::session());
    keys.setPace([&] { return pace.mustWait(queues.read(), TypingPace::Clock::now()); });
    SleepPump pump;
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
    std::printf(
        "committed %d pasted %d seconds %.3f\n", keys.committed(), keys.pasted(), took.count());
    return 0;
}

int trigger(const std::string &title)
{
    gnome::GnomeWindowSystem windows(dbus::Bus::session());
    gnome::GnomeShellKeySink keys(dbus::Bus::session());
    bool changed = true;
    windows.setOnTitleChange([&] { changed = true; });
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        if (changed) {
            changed = false;
            if (windows.findWindow(title)) {
                std::printf("%.6f\n", typeX(keys));
                return 0;
            }
        }
        waitForInput(windows.fileDescriptor());
        windows.processEvents();
    }
}

int hotKey(unsigned modifiers, KeyCode key, int presses)
{
    gnome::GnomeHotKeyRegistrar hotKeys(dbus::Bus::session());
    gnome::GnomeShellKeySink keys(dbus::Bus::session());
    int pressed = 0;
    if (!hotKeys.registerHotKey(modifiers, key, [&](unsigned, KeyCode) { ++pressed; })) {
        std::printf("refused\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (int seen = 0; seen < presses;) {
        waitForInput(hotKeys.fileDescriptor());
        hotKeys.processEvents();
        for (; seen < pressed; ++seen) {
            // As a run does: the hot key's modifiers would reach the keys typed.
            while (keys.isKeyDown(vk::Control) || keys.isKeyDown(vk::Menu))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::printf("%.6f\n", typeX(keys));
            std::fflush(stdout);
        }
    }
    return 0;
}

int replay(const ReplayArguments &args)
{
    gnome::GnomeHotKeyRegistrar hotKeys(dbus::Bus::session());
    GnomeJournal journal(dbus::Bus::session());
    journal.setCancelKeys(&hotKeys);
    std::printf("ready\n");
    std::fflush(stdout);
    return replayFiles(journal, args, hotKeys.fileDescriptor(), [&] { hotKeys.processEvents(); });
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "replay") {
            ReplayArguments args;
            return parseReplayArguments(argc - 1, argv + 1, "gnome_driver replay", args)
                ? replay(args)
                : 2;
        }
        if (command == "type" && argc == 3)
            return type(argv[2]);
        if (command == "list" && argc == 2) {
            gnome::GnomeWindowSystem windows(dbus::Bus::session());
            windows.enumWindows([](const WindowInfo &w) {
                std::printf("%s%s\n", w.title.c_str(), w.visible ? "" : " (hidden)");
                return true;
            });
            return 0;
        }
        if (command == "focus" && argc == 3) {
            gnome::GnomeWindowSystem windows(dbus::Bus::session());
            const WindowHandle window = windows.findWindow(argv[2]);
            if (!window)
                return 1;
            windows.setForegroundWindow(window);
            return windows.foregroundWindow() == window ? 0 : 1;
        }
        if (command == "state" && argc == 2) {
            auto bus = dbus::Bus::session();
            const gnome::ExtensionState state = gnome::extensionState(bus);
            static const char *const names[] = { "absent", "not loaded", "disabled", "failed",
                "running" };
            std::printf("%s\n%s\n", names[int(state)], gnome::extensionAdvice(state).c_str());
            return 0;
        }
        if (command == "trigger" && argc == 3)
            return trigger(argv[2]);
        if (command == "hotkey" && argc == 5)
            return hotKey(
                unsigned(std::stoul(argv[2])), std::stoi(argv[3], nullptr, 0), std::stoi(argv[4]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "gnome_driver: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr,
        "usage: gnome_driver type FILE | list | focus TITLE | state | trigger TITLE | "
        "hotkey MODS VK N\n");
    return 2;
}
