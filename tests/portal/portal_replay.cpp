// SPDX-License-Identifier: GPL-3.0-or-later
// Replays recordings one after another through the portal journal into whatever has the
// focus (straight into KWin where KWin lets this program, as the program's journal does), and
// prints one line per end: "done SECONDS" or "cancelled SECONDS".
// --cancel-after MS cancels the first replay that long after its start; --escape binds Esc
// through the GlobalShortcuts portal, as the program does, so that the user's Esc cancels.
// Usage: portal_replay [--fast] [--cancel-after MS] [--escape] FILE...
#include "common/Error.h"
#include "fakes/ReplayDriver.h"
#include "fakes/TestSupport.h"
#include "platform/kde/KwinFakeInput.h"
#include "platform/portal/GlobalShortcuts.h"
#include "platform/portal/KdeLayout.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "recording/portal/PortalJournal.h"

#include <cstdio>
#include <memory>

using namespace quorvel;

int main(int argc, char **argv)
{
    testing::ReplayArguments args;
    if (!testing::parseReplayArguments(argc, argv, "portal_replay", args, "--escape"))
        return 2;
    try {
        testing::TempDir data;
        portal::RemoteDesktopSession session(dbus::Bus::session(), data.path(),
            portal::RemoteDesktopSession::Keyboard | portal::RemoteDesktopSession::Pointer,
            "org.freedesktop.impl.portal.desktop.kde");
        const std::unique_ptr<kde::KwinFakeInput> direct = kde::KwinFakeInput::connect();
        std::fprintf(stderr, "route %s\n", direct ? "kwin" : "portal");
        PortalJournal journal(session, portal::readKdeLayoutNames(), direct.get());
        std::unique_ptr<portal::GlobalShortcutsRegistrar> hotKeys;
        if (args.flag) {
            hotKeys = std::make_unique<portal::GlobalShortcutsRegistrar>(data.path());
            journal.setCancelKeys(hotKeys.get());
        }
        if (!direct)
            session.open();
        return testing::replayFiles(journal, args, hotKeys ? hotKeys->fileDescriptor() : -1, [&] {
            if (hotKeys)
                hotKeys->processEvents();
        });
    } catch (const Error &e) {
        std::fprintf(stderr, "portal_replay: %s\n", e.what());
        return 1;
    }
}
