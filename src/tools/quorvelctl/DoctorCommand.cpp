// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/quorvelctl/DoctorCommand.h"

#include "common/Error.h"
#include "platform/SessionDoctor.h"
#include "platform/dbus/DesktopProbe.h"
#include "platform/wayland/SwayHotKeyRegistrar.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandProbe.h"
#include "platform/x11/X11Probe.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace quorvel::ctl {

namespace {

constexpr const char *kDoctorHelp =
    "Usage: quorvelctl doctor\n"
    "Says where Quorvel works in this session: the session type (Wayland, X11 or none),\n"
    "the compositor, the parts of it Quorvel uses that it offers or lacks, and for each\n"
    "feature (typing, hot keys, window triggers, focus, replay, recording) \"works\" or why\n"
    "not. With WAYLAND_DISPLAY set the session is Wayland, whatever DISPLAY says; on KDE\n"
    "Plasma and GNOME it also asks the session bus what the desktop offers, on sway it\n"
    "also names the hot keys a killed Quorvel left bound.\n"
    "Exit status: 0, also where nothing works; 2 usage error.\n";

std::string variable(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string joined(const std::vector<std::string> &names)
{
    std::string text;
    for (const auto &name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

int doctorCommand(int argc, char **argv)
{
    if (argc == 1 && (std::strcmp(argv[0], "--help") == 0 || std::strcmp(argv[0], "-h") == 0)) {
        std::fputs(kDoctorHelp, stdout);
        return 0;
    }
    if (argc > 0) {
        std::fprintf(stderr,
            "quorvelctl doctor: unexpected argument '%s'\nTry 'quorvelctl doctor --help'.\n",
            argv[0]);
        return 2;
    }

    const std::string waylandDisplay = variable("WAYLAND_DISPLAY");
    const std::string display = variable("DISPLAY");
    const std::string sessionType = variable("XDG_SESSION_TYPE");
    SessionOffer offer;
    offer.kind = sessionKindOf(waylandDisplay.c_str(), display.c_str());
    std::string session = "none (neither WAYLAND_DISPLAY nor DISPLAY is set)";
    std::string compositor = "unknown";
    std::vector<std::string> stale;
    if (offer.kind == SessionKind::Wayland) {
        session = "Wayland (WAYLAND_DISPLAY=" + waylandDisplay + ")";
        if (auto globals = wayland::waylandGlobals()) {
            offer.reachable = true;
            offer.waylandGlobals = std::move(*globals);
        }
        offer.desktop = dbus::sessionDesktop();
        if (offer.desktop != WaylandDesktopKind::Other) {
            dbus::probeDesktopServices(offer);
            if (const std::string name = dbus::desktopShellName(offer.desktop); !name.empty())
                compositor = name;
        } else if (const std::string socket = wayland::SwayIpc::socketPath(); !socket.empty()) {
            try {
                compositor = "sway " + wayland::SwayIpc::connect(socket)->version().humanReadable;
                offer.swayIpc = true;
                offer.swayConfigTrouble = wayland::SwayHotKeyRegistrar::configTroubleAt(socket);
                stale = wayland::SwayHotKeyRegistrar::staleBindings(
                    socket, wayland::SwayHotKeyRegistrar::defaultStateFolder());
            } catch (const Error &e) {
                compositor = std::string("unknown (") + e.what() + ")";
            }
        }
    } else if (offer.kind == SessionKind::X11) {
        session = "X11 (DISPLAY=" + display + ")";
        if (const auto server = x11::probeX11Server()) {
            offer.reachable = true;
            offer.xtest = server->xtest;
            offer.record = server->record;
            compositor =
                "X server of " + server->vendor + ", release " + std::to_string(server->release);
        }
    }
    if (!sessionType.empty())
        session += ", XDG_SESSION_TYPE=" + sessionType;
    // The desktop's own name is the best hint left where no probe names the compositor.
    if (const std::string desktop = variable("XDG_CURRENT_DESKTOP");
        compositor == "unknown" && offer.kind != SessionKind::None && !desktop.empty())
        compositor += " (XDG_CURRENT_DESKTOP=" + desktop + ")";

    std::printf("Session: %s\n", session.c_str());
    std::printf("Compositor: %s\n", compositor.c_str());
    const SessionParts parts = sessionParts(offer);
    if (!parts.offered.empty())
        std::printf("Offers: %s\n", joined(parts.offered).c_str());
    if (!parts.lacking.empty())
        std::printf("Lacks: %s\n", joined(parts.lacking).c_str());
    for (const auto &[feature, verdict] : featureVerdicts(offer))
        std::printf("%s: %s\n", feature.c_str(), verdict.c_str());
    if (!stale.empty())
        std::printf("Stale hot keys: %s (left bound by a Quorvel that was killed; the next start "
                    "of Quorvel or of quorvelctl replay removes them)\n",
            joined(stale).c_str());
    return 0;
}

} // namespace quorvel::ctl
