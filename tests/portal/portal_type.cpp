// SPDX-License-Identifier: GPL-3.0-or-later
// Types an advanced macro's text into whatever has the focus, as a run of the macro does on
// KDE (through KWin's input protocol where KWin lets this program, else the RemoteDesktop
// portal), and prints how long it took until the desktop had every key.
// With --portal: through the portal even where KWin's protocol is offered.
// With --naive: the route of the portal typing tools instead, one blocking call per key event
// (NotifyKeyboardKeysym), which types only what the layout has.
// With --hold SECONDS: serves the user's clipboard, which it holds after a paste, that long
// after typing, for the caller to read it.
// Usage: portal_type [--portal | --naive | --hold SECONDS] FILE
// (QUORVEL_FOCUSED_APP: the target's app id)
#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "fakes/FakeDateTimeFormatter.h"
#include "fakes/FakeJournal.h"
#include "fakes/FakeLauncher.h"
#include "fakes/FakeTimers.h"
#include "fakes/FakeValuePrompt.h"
#include "fakes/FakeWindowSystem.h"
#include "fakes/TestSupport.h"
#include "platform/kde/KwinFakeInput.h"
#include "platform/portal/Clipboard.h"
#include "platform/portal/KdeLayout.h"
#include "platform/portal/PortalKeySink.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "playback/MacroRunner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <systemd/sd-bus.h>
#include <thread>

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

std::string configHome()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    return config && *config ? config : std::string(std::getenv("HOME")) + "/.config";
}

// One blocking call for each key event: a character's keysym pressed, then released.
void typeNaively(portal::RemoteDesktopSession &session, const std::u32string &text)
{
    for (const char32_t ch : text) {
        const std::uint32_t keysym = ch == U'\n' ? 0xFF0D : ch < 0x100 ? ch : 0x1000000 + ch;
        for (const unsigned state : { 1U, 0U }) {
            dbus::Message call = session.bus().methodCall(dbus::kPortalService, dbus::kPortalPath,
                "org.freedesktop.portal.RemoteDesktop", "NotifyKeyboardKeysym");
            dbus::check(sd_bus_message_append(call.get(), "oa{sv}iu", session.handle().c_str(), 0,
                            int(keysym), state),
                "building a call");
            session.bus().call(call);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc == 4 || argc == 3 ? argv[1] : "";
    if (!(argc == 2 || (argc == 3 && (mode == "--naive" || mode == "--portal"))
            || (argc == 4 && mode == "--hold"))) {
        std::fprintf(stderr, "usage: portal_type [--portal | --naive | --hold SECONDS] FILE\n");
        return 2;
    }
    try {
        const std::string text = readFile(argv[argc - 1]);
        TempDir dir;
        portal::RemoteDesktopSession session(dbus::Bus::session(), dir.path(),
            portal::RemoteDesktopSession::Keyboard, "org.freedesktop.impl.portal.desktop.kde");
        if (mode == "--naive") {
            // Opened before the clock starts, as for Quorvel's own route.
            session.open();
            const auto start = std::chrono::steady_clock::now();
            typeNaively(session, text::decode(text));
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            std::printf("seconds %.3f\n", took.count());
            return 0;
        }
        portal::DataControlClipboard clipboard;
        session.setCompositorRoundtrip([&clipboard] { clipboard.roundtrip(); });
        const char *app = std::getenv("QUORVEL_FOCUSED_APP");
        std::unique_ptr<kde::KwinFakeInput> fakeInput;
        if (mode != "--portal")
            fakeInput = kde::KwinFakeInput::connect();
        portal::KeyInput &input = fakeInput ? static_cast<portal::KeyInput &>(*fakeInput) : session;
        portal::PortalKeySink keys(input, portal::readKdeLayoutNames(configHome()), &clipboard,
            [app] { return std::string(app ? app : ""); });
        // The session is asked for before the clock starts: a program holds it for its life.
        if (!fakeInput)
            session.open();
        ProfileStore store(dir.file("macros.ini"));
        Catalogue catalogue(store);
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
        std::printf("seconds %.3f pastes %d pipelined %d route %s\n", took.count(),
            keys.pasteCount(), session.pipelined() ? 1 : 0, fakeInput ? "kwin" : "portal");
        std::fflush(stdout);
        if (mode == "--hold") {
            const auto end =
                std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
            while (std::chrono::steady_clock::now() < end) {
                clipboard.processEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "portal_type: %s\n", e.what());
        return 1;
    }
}
