// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum class SessionKind { None, Wayland, X11 };

// The backend the session decides: Wayland wherever WAYLAND_DISPLAY is set, X11 else where
// DISPLAY is; null or empty values count as unset.
SessionKind sessionKindOf(const char *waylandDisplay, const char *display);

// Which kind of Wayland desktop the session is, by XDG_CURRENT_DESKTOP (a colon-separated
// list, such as "ubuntu:GNOME"); null or empty is Other.
enum class WaylandDesktopKind { Other, Kde, Gnome };
WaylandDesktopKind waylandDesktopOf(const char *xdgCurrentDesktop);

// Quorvel's GNOME Shell extension, as the shell reports it.
enum class ShellExtension { Absent, Disabled, Running };
inline constexpr const char *kShellExtensionUuid = "quorvel@ostrin.example";
// The name of Quorvel's desktop entry, by which GNOME's portals know it.
inline constexpr const char *kDesktopEntryId = "example.ostrin.Quorvel";

// How to turn the extension on, as the doctor and the first run say it.
std::string shellExtensionAdvice(ShellExtension state);

// What a probe of the session found.
struct SessionOffer
{
    SessionKind kind = SessionKind::None;
    bool reachable = false; // the display answered
    std::vector<std::string> waylandGlobals; // interface names of the registry
    bool swayIpc = false;
    std::string swayConfigTrouble; // what failed reading sway's config; hot keys work in part
    bool xtest = false;
    bool record = false;
    // KDE Plasma and GNOME: what the desktop offers on the session bus.
    WaylandDesktopKind desktop = WaylandDesktopKind::Other;
    unsigned remoteDesktopPortal = 0; // the portal interfaces' versions; 0 where missing
    unsigned globalShortcutsPortal = 0;
    // GNOME's own backend of that portal (GNOME 48 and later): its shortcuts dialog, and the
    // portal's registry of app ids, by which it knows the caller.
    bool gnomeGlobalShortcuts = false;
    bool desktopEntry = false; // Quorvel's desktop entry is installed, where that portal looks
    bool kwinScripting = false;
    ShellExtension shellExtension = ShellExtension::Absent;
};

// The parts of a session Quorvel's features rest on, offered or lacking.
struct SessionParts
{
    std::vector<std::string> offered;
    std::vector<std::string> lacking;
};
SessionParts sessionParts(const SessionOffer &offer);

// The features, by the names the doctor gives them.
namespace feature {
inline constexpr const char *Typing = "Typing", *HotKeys = "Hot keys",
                            *WindowTriggers = "Window triggers", *Focus = "Focus",
                            *Replay = "Replay", *Recording = "Recording";
} // namespace feature

struct FeatureVerdict
{
    std::string feature; // "Typing", "Hot keys", ...
    std::string verdict; // "works", or why not
};

// Whether each feature works in the session, or a plain reason why not.
std::vector<FeatureVerdict> featureVerdicts(const SessionOffer &offer);

// The Wayland interfaces the features rest on.
namespace wayland_global {
inline constexpr const char *VirtualKeyboard = "zwp_virtual_keyboard_manager_v1";
inline constexpr const char *Toplevels = "zwlr_foreign_toplevel_manager_v1";
inline constexpr const char *VirtualPointer = "zwlr_virtual_pointer_manager_v1";
inline constexpr const char *DataControl = "zwlr_data_control_manager_v1";
} // namespace wayland_global

// What the desktop the program runs on cannot do, as the windows say it; empty where
// everything works.
struct DesktopLimits
{
    // The features that do not work, each with why, in the doctor's order.
    std::vector<FeatureVerdict> lacking;
    // The features that work in part, each with what fails.
    std::vector<FeatureVerdict> partial;
    // Why recording is not possible, as a recording would fail; empty where it is.
    std::string recording;
    // The one step of the user's that would bring the missing features (GNOME's extension);
    // empty where there is none.
    std::string advice;

    // Why feature ("Typing", ...) does not work; empty when it does.
    std::string why(std::string_view feature) const;
};

DesktopLimits desktopLimits(const SessionOffer &offer);

} // namespace quorvel
