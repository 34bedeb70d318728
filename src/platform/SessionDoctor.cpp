// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SessionDoctor.h"

#include <algorithm>

namespace quorvel {

namespace {

constexpr const char *kVirtualKeyboard = wayland_global::VirtualKeyboard;
constexpr const char *kToplevels = wayland_global::Toplevels;
constexpr const char *kVirtualPointer = wayland_global::VirtualPointer;
constexpr const char *kSwayIpc = "sway IPC";
constexpr const char *kRemoteDesktop = "RemoteDesktop portal";
constexpr const char *kGlobalShortcuts = "GlobalShortcuts portal";
constexpr const char *kKwinScripting = "KWin scripting";
constexpr const char *kExtension = "Quorvel's GNOME Shell extension";
constexpr const char *kShortcutAdvice =
    "bind a desktop shortcut to quorvel '/Open:\"Name\"' /Close instead";
constexpr const char *kNoRecording = "recording needs an X11 session";

constexpr const char *kWorks = "works";
constexpr std::string_view kWorksInPart = "works in part: ";

bool offers(const SessionOffer &offer, const char *global)
{
    return std::find(offer.waylandGlobals.begin(), offer.waylandGlobals.end(), global)
        != offer.waylandGlobals.end();
}

std::vector<FeatureVerdict> verdicts(std::string typing, std::string hotKeys, std::string triggers,
    std::string focus, std::string replay, std::string recording)
{
    return {
        { feature::Typing, std::move(typing) },
        { feature::HotKeys, std::move(hotKeys) },
        { feature::WindowTriggers, std::move(triggers) },
        { feature::Focus, std::move(focus) },
        { feature::Replay, std::move(replay) },
        { feature::Recording, std::move(recording) },
    };
}

std::vector<FeatureVerdict> everyFeature(const std::string &reason)
{
    return verdicts(reason, reason, reason, reason, reason, reason);
}

std::vector<FeatureVerdict> kdeVerdicts(const SessionOffer &offer)
{
    const std::string noPortal = "the desktop portal offers no remote desktop (install "
                                 "xdg-desktop-portal and xdg-desktop-portal-kde)";
    const std::string noScripting = "KWin's scripting does not answer on the session bus";
    const bool portal = offer.remoteDesktopPortal > 0;
    return verdicts(portal ? kWorks : noPortal,
        offer.globalShortcutsPortal > 0
            ? kWorks
            : std::string("the desktop portal offers no global shortcuts; ") + kShortcutAdvice,
        offer.kwinScripting ? kWorks : noScripting, offer.kwinScripting ? kWorks : noScripting,
        portal ? kWorks : noPortal, kNoRecording);
}

std::vector<FeatureVerdict> gnomeVerdicts(const SessionOffer &offer)
{
    if (offer.shellExtension == ShellExtension::Running)
        return verdicts(kWorks, kWorks, kWorks, kWorks, kWorks, kNoRecording);
    const std::string advice = shellExtensionAdvice(offer.shellExtension);
    // Without the extension only the portal types, asking the user once a session. Hot keys
    // go through GNOME's own GlobalShortcuts portal, which asks once for each new key; another
    // desktop's backend of that portal does not count.
    return verdicts(offer.remoteDesktopPortal > 0
            ? kWorks
            : "the desktop portal offers no remote desktop, and " + advice,
        !offer.gnomeGlobalShortcuts ? advice + "; or " + kShortcutAdvice
            : offer.desktopEntry
            ? kWorks
            : std::string("GNOME's shortcuts portal knows Quorvel by its desktop entry ")
                + kDesktopEntryId
                + ".desktop, which is not installed (the package installs it); or " + advice,
        advice, advice, advice, kNoRecording);
}

} // namespace

std::string shellExtensionAdvice(ShellExtension state)
{
    const std::string enable = std::string("gnome-extensions enable ") + kShellExtensionUuid;
    switch (state) {
    case ShellExtension::Running:
        return {};
    case ShellExtension::Disabled:
        return "Quorvel's GNOME Shell extension is not enabled: run " + enable;
    case ShellExtension::Absent:
        break;
    }
    return "GNOME Shell does not know Quorvel's extension: log out and in again once Quorvel "
           "is installed (the shell sees a new extension at the next log-in), then run "
        + enable;
}

SessionKind sessionKindOf(const char *waylandDisplay, const char *display)
{
    if (waylandDisplay && *waylandDisplay)
        return SessionKind::Wayland;
    if (display && *display)
        return SessionKind::X11;
    return SessionKind::None;
}

WaylandDesktopKind waylandDesktopOf(const char *xdgCurrentDesktop)
{
    std::string_view rest = xdgCurrentDesktop ? xdgCurrentDesktop : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view name = rest.substr(0, colon);
        if (name == "KDE")
            return WaylandDesktopKind::Kde;
        if (name == "GNOME")
            return WaylandDesktopKind::Gnome;
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    return WaylandDesktopKind::Other;
}

SessionParts sessionParts(const SessionOffer &offer)
{
    SessionParts parts;
    const auto sort = [&](const char *name, bool offered) {
        (offered ? parts.offered : parts.lacking).emplace_back(name);
    };
    if (!offer.reachable)
        return parts;
    if (offer.kind == SessionKind::Wayland && offer.desktop == WaylandDesktopKind::Kde) {
        sort(kRemoteDesktop, offer.remoteDesktopPortal > 0);
        sort(kGlobalShortcuts, offer.globalShortcutsPortal > 0);
        sort(kKwinScripting, offer.kwinScripting);
        sort(wayland_global::DataControl, offers(offer, wayland_global::DataControl));
    } else if (offer.kind == SessionKind::Wayland && offer.desktop == WaylandDesktopKind::Gnome) {
        sort(kExtension, offer.shellExtension == ShellExtension::Running);
        sort(kRemoteDesktop, offer.remoteDesktopPortal > 0);
        sort(kGlobalShortcuts, offer.gnomeGlobalShortcuts);
    } else if (offer.kind == SessionKind::Wayland) {
        for (const char *global : { kVirtualKeyboard, kToplevels, kVirtualPointer })
            sort(global, offers(offer, global));
        sort(kSwayIpc, offer.swayIpc);
    } else if (offer.kind == SessionKind::X11) {
        sort("XTEST", offer.xtest);
        sort("RECORD", offer.record);
    }
    return parts;
}

std::vector<FeatureVerdict> featureVerdicts(const SessionOffer &offer)
{
    switch (offer.kind) {
    case SessionKind::None:
        return everyFeature("no desktop session");
    case SessionKind::Wayland: {
        if (!offer.reachable)
            return everyFeature("the Wayland display does not answer");
        if (offer.desktop == WaylandDesktopKind::Kde)
            return kdeVerdicts(offer);
        if (offer.desktop == WaylandDesktopKind::Gnome)
            return gnomeVerdicts(offer);
        const std::string noKeyboard = "this compositor offers no virtual keyboard";
        const bool keyboard = offers(offer, kVirtualKeyboard);
        const bool toplevels = offers(offer, kToplevels);
        return verdicts(keyboard ? kWorks : noKeyboard,
            !offer.swayIpc ? "global hot keys need sway; bind a desktop shortcut to quorvel "
                             "'/Open:\"Name\"' /Close instead"
                : offer.swayConfigTrouble.empty()
                ? kWorks
                : std::string(kWorksInPart) + offer.swayConfigTrouble,
            toplevels ? kWorks : "this compositor does not tell programs its windows' titles",
            toplevels ? kWorks : "this compositor does not let programs activate windows",
            !keyboard                            ? noKeyboard
                : offers(offer, kVirtualPointer) ? kWorks
                                                 : "this compositor offers no virtual pointer",
            kNoRecording);
    }
    case SessionKind::X11: {
        if (!offer.reachable)
            return everyFeature("the X display does not answer");
        const std::string noXtest = "the X server has no XTEST extension";
        const std::string noRecord = "the X server has no RECORD extension";
        return verdicts(offer.xtest ? kWorks : noXtest, kWorks, kWorks, kWorks,
            !offer.xtest       ? noXtest
                : offer.record ? kWorks
                               : noRecord,
            offer.record ? kWorks : noRecord);
    }
    }
    return {};
}

std::string DesktopLimits::why(std::string_view feature) const
{
    for (const FeatureVerdict &lack : lacking) {
        if (lack.feature == feature)
            return lack.verdict;
    }
    return {};
}

DesktopLimits desktopLimits(const SessionOffer &offer)
{
    DesktopLimits limits;
    if (offer.kind == SessionKind::Wayland && offer.reachable
        && offer.desktop == WaylandDesktopKind::Gnome)
        limits.advice = shellExtensionAdvice(offer.shellExtension);
    for (FeatureVerdict &verdict : featureVerdicts(offer)) {
        if (verdict.verdict.rfind(kWorksInPart, 0) == 0)
            limits.partial.push_back(
                { verdict.feature, verdict.verdict.substr(kWorksInPart.size()) });
        else if (verdict.verdict != kWorks)
            limits.lacking.push_back(std::move(verdict));
    }
    return limits;
}

} // namespace quorvel
