// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"
#include "platform/WindowSystem.h"
#include "platform/dbus/Bus.h"
#include "platform/xkb/LayoutKeys.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sd_bus_message;

namespace quorvel::gnome {

// Quorvel's GNOME Shell extension and the D-Bus object it serves.
inline constexpr const char *kExtensionUuid = "quorvel@ostrin.example";
inline constexpr const char *kShellName = "example.ostrin.Quorvel.Shell";
inline constexpr const char *kShellPath = "/example/ostrin/Quorvel/Shell";
inline constexpr const char *kShellInterface = "example.ostrin.Quorvel.Shell1";

// Versions of the extension's interface: what came with each.
inline constexpr std::uint32_t kPointerVersion = 2; // the pointer calls
inline constexpr std::uint32_t kDeliveredVersion = 3; // Delivered
inline constexpr std::uint32_t kLinesVersion = 4; // line ends in Text

// The interface version the running shell serves; none when it does not answer.
std::optional<std::uint32_t> interfaceVersion(dbus::Bus &bus);

enum class ExtensionState {
    Absent, // not installed where the shell looks
    NotLoaded, // installed, but the running shell has not seen it: a new log-in loads it
    Disabled, // the shell knows it, and it is off
    Failed, // enabled, but it failed to start
    Running, // serving its object
};

// What the shell's own extension list says of ours (org.gnome.Shell.Extensions).
struct ExtensionInfo
{
    double state = 0; // the shell's: 1 enabled, 2 disabled, 3 error, 4 out of date, 6 initialized
    std::string error;
};

// The state from what was seen: our object's name owned, the shell's answer (none when the
// shell does not know the extension or did not answer), and whether its files are installed.
ExtensionState extensionStateOf(
    bool nameOwned, const std::optional<ExtensionInfo> &info, bool installed);

// Asks the session bus and looks for the extension's files in $XDG_DATA_HOME and
// $XDG_DATA_DIRS. Never throws.
ExtensionState extensionState(dbus::Bus &bus);

// What the user should do, for the doctor and the first run; empty when it runs. error is the
// shell's reason for a failed start.
std::string extensionAdvice(ExtensionState state, const std::string &error = {});

// The shell's current keyboard layout, as the extension tells it; throws Error when it does
// not answer or answers malformed.
xkb::LayoutNames shellLayout(dbus::Bus &bus);

// The extension's Keys call: evdev keys pressed (true) or released, in order.
dbus::Message keysCall(dbus::Bus &bus, const std::vector<std::pair<unsigned, bool>> &keys);

// A window as the extension lists it.
struct ShellWindow
{
    WindowHandle id = 0;
    std::string title;
    std::string wmClass;
    bool minimized = false;
    bool focused = false;
};

// Reads an a(tssbb) list of windows from m, topmost first; throws Error when malformed.
std::vector<ShellWindow> readWindows(sd_bus_message *m);

// The keysym of a virtual-key code (US positions for punctuation), 0 when there is none.
std::uint32_t keysymOfVirtualKey(KeyCode key);

// The shell's accelerator text of hotkeymod bits and a virtual-key code ("<Control><Alt>q");
// empty when the key has no keysym.
std::string acceleratorName(unsigned modifiers, KeyCode key);

} // namespace quorvel::gnome
