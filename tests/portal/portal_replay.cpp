// SPDX-License-Identifier: GPL-3.0-or-later
// Replays recordings one after another through the portal journal into whatever has the
// focus, and prints one line per end: "done SECONDS" or "cancelled SECONDS".
// --cancel-after MS cancels the first replay that long after its start; --escape binds Esc
// through the GlobalShortcuts portal, as the program does, so that the user's Esc cancels.
// Usage: portal_replay [--fast] [--cancel-after MS] [--escape] FILE...
#include "common/Error.h"
#include "fakes/TestSupport.h"
#include "platform/kde/KdeHotKeyRegistrar.h"
#include "platform/portal/KdeLayout.h"
#include "platform/portal/RemoteDesktopSession.h"
#include "recording/portal/PortalJournal.h"

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
    bool escape = false;
    int cancelAfterMs = -1;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fast")
            fast = true;
        else if (arg == "--escape")
            escape = true;
        else if (arg == "--cancel-after" && i + 1 < argc)
            cancelAfterMs = std::atoi(argv[++i]);
        else
            files.push_back(arg);
    }
    if (files.empty()) {
        std::fprintf(
            stderr, "usage: portal_replay [--fast] [--cancel-after MS] [--escape] FILE...\n");
        return 2;
    }
    try {
        testing::TempDir data;
        portal::RemoteDesktopSession session(dbus::Bus::session(), data.path(),
            portal::RemoteDesktopSession::Keyboard | portal::RemoteDesktopSession::Pointer,
            "org.freedesktop.impl.portal.desktop.kde");
        PortalJournal journal(session, portal::readKdeLayoutNames());
        std::unique_ptr<kde::KdeHotKeyRegistrar> hotKeys;
        if (escape) {
            hotKeys = std::make_unique<kde::KdeHotKeyRegistrar>(data.path());
            journal.setCancelKeys(hotKeys.get(), false);
        }
        int ends = 0;
        Clock::time_point start;
        journal.OnFinished = [&](bool userCancel) {
            ++ends;
            const std::chrono::duration<double> took = Clock::now() - start;
            std::printf("%s %.3f\n", userCancel ? "cancelled" : "done", took.count());
            std::fflush(stdout);
            start = Clock::now();
        };
        journal.HiSpeedPlayBack = fast;
        session.open();
        // Pumps until the deadline, or until the replay has ended when until is 0.
        const auto pump = [&](Clock::time_point deadline, int until) {
            while (Clock::now() < deadline && (until == 0 || ends < until)) {
                pollfd p[] { { journal.fileDescriptor(), POLLIN, 0 },
                    { hotKeys ? hotKeys->fileDescriptor() : -1, POLLIN, 0 } };
                ::poll(p, 2, 10);
                if (hotKeys)
                    hotKeys->processEvents();
                journal.processEvents();
            }
        };
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
        return ends == int(files.size()) ? 0 : 1;
    } catch (const Error &e) {
        std::fprintf(stderr, "portal_replay: %s\n", e.what());
        return 1;
    }
}
