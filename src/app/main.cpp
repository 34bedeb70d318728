// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"
#include "app/DesktopBackend.h"
#include "app/qt/Accessibility.h"
#include "app/qt/EndSignals.h"
#include "app/qt/GuardedApplication.h"
#include "common/Error.h"
#include "platform/SessionDoctor.h"
#include "platform/dbus/Bus.h"
#include "platform/wayland/SwayIpc.h"

#include <QApplication>
#include <QScopeGuard>
#include <QSessionManager>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

SessionKind sessionKind()
{
    return sessionKindOf(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
}

bool displayAvailable()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::string(platform) != "xcb")
        return true;
    return sessionKind() != SessionKind::None;
}

// The windows of a Wayland session are the compositor's own clients, not XWayland's.
void runQtNatively()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (sessionKind() == SessionKind::Wayland && (!platform || std::string(platform) == "xcb"))
        setenv("QT_QPA_PLATFORM", "wayland", 1);
}

} // namespace

int main(int argc, char **argv)
{
    if (!displayAvailable()) {
        std::fputs(
            "quorvel: no display to run on (neither WAYLAND_DISPLAY nor DISPLAY is set)\n", stderr);
        return 1;
    }

    // Log-off, shutdown and kill end without saving the placement, but never with a key of
    // ours left down or a hot key still grabbed. Caught from here on: a signal breaks off the
    // start's waits on sway and the wait for a portal's dialog, and the start ends early or the
    // loop ends the program.
    EndSignals endSignals;
    wayland::SwayIpc::setInterruption(endSignals.fileDescriptor());
    dbus::Bus::setInterruption(endSignals.fileDescriptor());

    // Before Qt, which would abort on a display it cannot reach.
    std::unique_ptr<DesktopBackend> desktop;
    try {
        desktop = std::make_unique<DesktopBackend>();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorvel: cannot use the %s display: %s\n",
            sessionKind() == SessionKind::Wayland ? "Wayland" : "X", e.what());
        return 1;
    }
    if (endSignals.pending())
        return 0;
    runQtNatively();

    GuardedApplication app(argc, argv);
    const auto unwatch = qScopeGuard([&endSignals] { endSignals.unwatch(); });
    installWindowAccessibility();
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    QApplication::setQuitOnLastWindowClosed(false);

    Application quorvel(Paths::fromEnvironment(), desktop->backend());
    endSignals.watch([&quorvel] { quorvel.end(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest,
        [&quorvel](QSessionManager &) { quorvel.end(); });
    quorvel.start(std::vector<std::string>(argv + 1, argv + argc));
    // A signal during start-up ended only the loop of the box that was open then.
    if (quorvel.ended())
        return 0;
    return app.exec();
}
