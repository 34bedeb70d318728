// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/DesktopProbe.h"

#include "common/Error.h"
#include "platform/DataFolders.h"
#include "platform/dbus/Bus.h"

#include <cstdlib>
#include <optional>
#include <systemd/sd-bus.h>

namespace quorvel::dbus {

namespace {

constexpr const char *kKwin = "org.kde.KWin";
constexpr const char *kShell = "org.gnome.Shell";
// The name Quorvel's extension owns once it runs.
constexpr const char *kShellExtensionService = "example.ostrin.Quorvel.Shell";
// What GNOME's GlobalShortcuts portal shows its dialog through.
constexpr const char *kShortcutsDialog = "org.gnome.Settings.GlobalShortcutsProvider";

std::optional<Bus> sessionBus()
{
    try {
        return Bus::session();
    } catch (const Error &) {
        return std::nullopt;
    }
}

// The "state" of GetExtensionInfo's a{sv}: 1 is enabled; an empty answer, unknown.
ShellExtension extensionState(Bus &bus)
{
    Message call = bus.methodCall(
        kShell, "/org/gnome/Shell", "org.gnome.Shell.Extensions", "GetExtensionInfo");
    check(sd_bus_message_append(call.get(), "s", kShellExtensionUuid), "GetExtensionInfo");
    const Message reply = bus.call(call, std::chrono::seconds(5));
    sd_bus_message *m = reply.get();
    bool known = false;
    double state = 0;
    check(sd_bus_message_enter_container(m, 'a', "{sv}"), "GetExtensionInfo");
    while (check(sd_bus_message_enter_container(m, 'e', "sv"), "GetExtensionInfo") > 0) {
        const char *key = nullptr;
        check(sd_bus_message_read(m, "s", &key), "GetExtensionInfo");
        known = true;
        if (std::string_view(key) == "state")
            check(sd_bus_message_read(m, "v", "d", &state), "GetExtensionInfo");
        else
            check(sd_bus_message_skip(m, "v"), "GetExtensionInfo");
        check(sd_bus_message_exit_container(m), "GetExtensionInfo");
    }
    if (!known)
        return ShellExtension::Absent;
    return state == 1 ? ShellExtension::Running : ShellExtension::Disabled;
}

bool activatable(Bus &bus, const char *name)
{
    const Message reply = bus.call(bus.methodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "ListActivatableNames"),
        std::chrono::seconds(5));
    check(sd_bus_message_enter_container(reply.get(), 'a', "s"), "ListActivatableNames");
    for (const char *found = nullptr;
         check(sd_bus_message_read(reply.get(), "s", &found), "ListActivatableNames") > 0;)
        if (std::string_view(found) == name)
            return true;
    return false;
}

} // namespace

WaylandDesktopKind desktopOnBus()
{
    auto bus = sessionBus();
    try {
        if (bus && bus->nameHasOwner(kKwin))
            return WaylandDesktopKind::Kde;
        if (bus && bus->nameHasOwner(kShell))
            return WaylandDesktopKind::Gnome;
    } catch (const Error &) {
    }
    return WaylandDesktopKind::Other;
}

WaylandDesktopKind sessionDesktop()
{
    const WaylandDesktopKind named = waylandDesktopOf(std::getenv("XDG_CURRENT_DESKTOP"));
    if (named != WaylandDesktopKind::Other)
        return named;
    const char *sway = std::getenv("SWAYSOCK");
    return sway && *sway ? named : desktopOnBus();
}

void probeDesktopServices(SessionOffer &offer)
{
    auto bus = sessionBus();
    if (!bus)
        return;
    try {
        offer.remoteDesktopPortal = portalVersion(*bus, "org.freedesktop.portal.RemoteDesktop");
        offer.globalShortcutsPortal = portalVersion(*bus, "org.freedesktop.portal.GlobalShortcuts");
        if (offer.desktop == WaylandDesktopKind::Kde)
            offer.kwinScripting = bus->nameHasOwner(kKwin);
        // Another desktop's backend may answer for the portal on GNOME: only GNOME's own binds
        // shortcuts there.
        if (offer.desktop == WaylandDesktopKind::Gnome && offer.globalShortcutsPortal > 0)
            offer.gnomeGlobalShortcuts =
                portalVersion(*bus, "org.freedesktop.host.portal.Registry") > 0
                && (bus->nameHasOwner(kShortcutsDialog) || activatable(*bus, kShortcutsDialog));
        if (offer.gnomeGlobalShortcuts)
            offer.desktopEntry =
                dataFileInstalled(std::string("applications/") + kDesktopEntryId + ".desktop");
        if (offer.desktop == WaylandDesktopKind::Gnome && bus->nameHasOwner(kShell)) {
            offer.shellExtension = extensionState(*bus);
            // Enabled is not running: an extension whose start failed keeps that state.
            if (offer.shellExtension == ShellExtension::Running
                && !bus->nameHasOwner(kShellExtensionService))
                offer.shellExtension = ShellExtension::Disabled;
        }
    } catch (const Error &) {
        // A bus that stops answering offers what was found so far.
    }
}

std::string desktopShellName(WaylandDesktopKind desktop)
{
    if (desktop == WaylandDesktopKind::Kde)
        return "KWin";
    if (desktop != WaylandDesktopKind::Gnome)
        return {};
    auto bus = sessionBus();
    if (!bus)
        return {};
    char *version = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_get_property_string(
        bus->raw(), kShell, "/org/gnome/Shell", kShell, "ShellVersion", &error, &version);
    sd_bus_error_free(&error);
    if (r < 0)
        return {};
    std::string name = std::string("GNOME Shell ") + version;
    free(version); // NOLINT(cppcoreguidelines-no-malloc): sd-bus hands out malloc'd text
    return name;
}

} // namespace quorvel::dbus
