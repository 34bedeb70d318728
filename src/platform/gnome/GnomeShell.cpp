// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gnome/GnomeShell.h"

#include "common/Error.h"
#include "platform/DataFolders.h"
#include "platform/HotKeyRegistrar.h"
#include "platform/dbus/Bus.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <systemd/sd-bus.h>

namespace quorvel::gnome {

namespace {

struct NamedKey
{
    KeyCode key;
    std::uint32_t keysym;
    const char *name;
};

// Keysyms and their names of the virtual keys outside the letter, digit, keypad-digit and
// F-key runs, US positions for the punctuation keys.
constexpr NamedKey kNamedKeys[] = {
    { 0x03, 0xFF69, "Cancel" },
    { 0x08, 0xFF08, "BackSpace" },
    { 0x09, 0xFF09, "Tab" },
    { 0x0C, 0xFF0B, "Clear" },
    { 0x0D, 0xFF0D, "Return" },
    { 0x10, 0xFFE1, "Shift_L" },
    { 0x11, 0xFFE3, "Control_L" },
    { 0x12, 0xFFE9, "Alt_L" },
    { 0x13, 0xFF13, "Pause" },
    { 0x14, 0xFFE5, "Caps_Lock" },
    { 0x1B, 0xFF1B, "Escape" },
    { 0x20, 0x0020, "space" },
    { 0x21, 0xFF55, "Prior" },
    { 0x22, 0xFF56, "Next" },
    { 0x23, 0xFF57, "End" },
    { 0x24, 0xFF50, "Home" },
    { 0x25, 0xFF51, "Left" },
    { 0x26, 0xFF52, "Up" },
    { 0x27, 0xFF53, "Right" },
    { 0x28, 0xFF54, "Down" },
    { 0x29, 0xFF60, "Select" },
    { 0x2A, 0xFF61, "Print" },
    { 0x2B, 0xFF62, "Execute" },
    { 0x2C, 0xFF61, "Print" },
    { 0x2D, 0xFF63, "Insert" },
    { 0x2E, 0xFFFF, "Delete" },
    { 0x2F, 0xFF6A, "Help" },
    { 0x5B, 0xFFEB, "Super_L" },
    { 0x5C, 0xFFEC, "Super_R" },
    { 0x5D, 0xFF67, "Menu" },
    { 0x6A, 0xFFAA, "KP_Multiply" },
    { 0x6B, 0xFFAB, "KP_Add" },
    { 0x6C, 0xFFAC, "KP_Separator" },
    { 0x6D, 0xFFAD, "KP_Subtract" },
    { 0x6E, 0xFFAE, "KP_Decimal" },
    { 0x6F, 0xFFAF, "KP_Divide" },
    { 0x90, 0xFF7F, "Num_Lock" },
    { 0x91, 0xFF14, "Scroll_Lock" },
    { 0xA0, 0xFFE1, "Shift_L" },
    { 0xA1, 0xFFE2, "Shift_R" },
    { 0xA2, 0xFFE3, "Control_L" },
    { 0xA3, 0xFFE4, "Control_R" },
    { 0xA4, 0xFFE9, "Alt_L" },
    { 0xA5, 0xFFEA, "Alt_R" },
    { 0xBA, 0x003B, "semicolon" },
    { 0xBB, 0x003D, "equal" },
    { 0xBC, 0x002C, "comma" },
    { 0xBD, 0x002D, "minus" },
    { 0xBE, 0x002E, "period" },
    { 0xBF, 0x002F, "slash" },
    { 0xC0, 0x0060, "grave" },
    { 0xDB, 0x005B, "bracketleft" },
    { 0xDC, 0x005C, "backslash" },
    { 0xDD, 0x005D, "bracketright" },
    { 0xDE, 0x0027, "apostrophe" },
    { 0xE2, 0x003C, "less" },
};

const NamedKey *namedKey(KeyCode key)
{
    const auto *it = std::find_if(std::begin(kNamedKeys), std::end(kNamedKeys),
        [key](const NamedKey &k) { return k.key == key; });
    return it != std::end(kNamedKeys) ? it : nullptr;
}

std::string keyName(KeyCode key)
{
    if (key >= '0' && key <= '9')
        return std::string(1, static_cast<char>(key));
    if (key >= 'A' && key <= 'Z')
        return std::string(1, static_cast<char>(key - 'A' + 'a'));
    if (key >= 0x60 && key <= 0x69)
        return "KP_" + std::to_string(key - 0x60);
    if (key >= 0x70 && key <= 0x87)
        return "F" + std::to_string(key - 0x70 + 1);
    const NamedKey *named = namedKey(key);
    return named ? named->name : "";
}

std::optional<ExtensionInfo> askShell(dbus::Bus &bus)
{
    try {
        auto call = bus.methodCall("org.gnome.Shell", "/org/gnome/Shell",
            "org.gnome.Shell.Extensions", "GetExtensionInfo");
        dbus::check(sd_bus_message_append(call.get(), "s", kExtensionUuid), "GetExtensionInfo");
        const auto reply = bus.call(call, std::chrono::seconds(5));
        sd_bus_message *m = reply.get();
        dbus::check(sd_bus_message_enter_container(m, 'a', "{sv}"), "GetExtensionInfo");
        std::optional<ExtensionInfo> info;
        while (dbus::check(sd_bus_message_enter_container(m, 'e', "sv"), "GetExtensionInfo") > 0) {
            const char *key = nullptr;
            dbus::check(sd_bus_message_read(m, "s", &key), "GetExtensionInfo");
            const std::string name = key;
            if (!info)
                info.emplace();
            if (name == "state" && sd_bus_message_enter_container(m, 'v', "d") > 0) {
                dbus::check(sd_bus_message_read(m, "d", &info->state), "GetExtensionInfo");
                dbus::check(sd_bus_message_exit_container(m), "GetExtensionInfo");
            } else if (name == "error" && sd_bus_message_enter_container(m, 'v', "s") > 0) {
                const char *error = nullptr;
                dbus::check(sd_bus_message_read(m, "s", &error), "GetExtensionInfo");
                info->error = error;
                dbus::check(sd_bus_message_exit_container(m), "GetExtensionInfo");
            } else {
                dbus::check(sd_bus_message_skip(m, "v"), "GetExtensionInfo");
            }
            dbus::check(sd_bus_message_exit_container(m), "GetExtensionInfo");
        }
        return info;
    } catch (const Error &) {
        return std::nullopt; // no GNOME Shell on this bus
    }
}

} // namespace

ExtensionState extensionStateOf(
    bool nameOwned, const std::optional<ExtensionInfo> &info, bool installed)
{
    if (nameOwned)
        return ExtensionState::Running;
    if (!info)
        return installed ? ExtensionState::NotLoaded : ExtensionState::Absent;
    constexpr double enabled = 1, error = 3, outOfDate = 4;
    if (info->state == error || info->state == outOfDate)
        return ExtensionState::Failed;
    // Enabled, yet its object is not there: it failed inside its enable.
    if (info->state == enabled)
        return ExtensionState::Failed;
    return ExtensionState::Disabled;
}

ExtensionState extensionState(dbus::Bus &bus)
{
    bool owned = false;
    try {
        owned = bus.nameHasOwner(kShellName);
    } catch (const Error &) {
    }
    const bool installed = dataFileInstalled(
        std::string("gnome-shell/extensions/") + kExtensionUuid + "/metadata.json");
    return extensionStateOf(owned, owned ? std::nullopt : askShell(bus), installed);
}

std::string extensionAdvice(ExtensionState state, const std::string &error)
{
    const std::string enable = std::string("gnome-extensions enable ") + kExtensionUuid;
    switch (state) {
    case ExtensionState::Absent:
        return std::string("Quorvel's GNOME Shell extension is not installed: install Quorvel's "
                           "package (it puts the extension in /usr/share/gnome-shell/extensions/"
                           ")")
            + ", log out and in again, and run: " + enable;
    case ExtensionState::NotLoaded:
        return "Quorvel's GNOME Shell extension is installed, but GNOME Shell sees a newly "
               "installed extension only at the next log-in: log out and in again, then run: "
            + enable;
    case ExtensionState::Disabled:
        return "Quorvel's GNOME Shell extension is not enabled: run " + enable
            + " (or turn on Quorvel in the Extensions program)";
    case ExtensionState::Failed:
        return "Quorvel's GNOME Shell extension failed to start"
            + (error.empty() ? std::string() : ": " + error)
            + "; see the Extensions program, or run: gnome-extensions info " + kExtensionUuid;
    case ExtensionState::Running:
        break;
    }
    return {};
}

std::optional<std::uint32_t> interfaceVersion(dbus::Bus &bus)
{
    std::uint32_t version = 0;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_get_property_trivial(
        bus.raw(), kShellName, kShellPath, kShellInterface, "Version", &error, 'u', &version);
    sd_bus_error_free(&error);
    if (r < 0)
        return std::nullopt;
    return version;
}

xkb::LayoutNames shellLayout(dbus::Bus &bus)
{
    auto call = bus.methodCall(kShellName, kShellPath, kShellInterface, "Layout");
    const auto reply = bus.call(call, std::chrono::seconds(5));
    const char *layout = nullptr, *variant = nullptr, *options = nullptr;
    dbus::check(sd_bus_message_read(reply.get(), "sss", &layout, &variant, &options),
        "GNOME Shell sent a malformed layout");
    return { layout, variant, options };
}

dbus::Message keysCall(dbus::Bus &bus, const std::vector<std::pair<unsigned, bool>> &keys)
{
    auto call = bus.methodCall(kShellName, kShellPath, kShellInterface, "Keys");
    sd_bus_message *m = call.get();
    dbus::check(sd_bus_message_open_container(m, 'a', "(ub)"), "Cannot build a call");
    for (const auto &[key, down] : keys)
        dbus::check(sd_bus_message_append(m, "(ub)", key, int(down)), "Cannot build a call");
    dbus::check(sd_bus_message_close_container(m), "Cannot build a call");
    return call;
}

std::vector<ShellWindow> readWindows(sd_bus_message *m)
{
    const auto ok = [](int r) { dbus::check(r, "GNOME Shell sent a malformed window list"); };
    std::vector<ShellWindow> windows;
    ok(sd_bus_message_enter_container(m, 'a', "(tssbb)"));
    for (;;) {
        std::uint64_t id = 0;
        const char *title = nullptr, *wmClass = nullptr;
        int minimized = 0, focused = 0;
        const int r =
            sd_bus_message_read(m, "(tssbb)", &id, &title, &wmClass, &minimized, &focused);
        ok(r);
        if (r == 0)
            break;
        windows.push_back({ id, title, wmClass, minimized != 0, focused != 0 });
    }
    ok(sd_bus_message_exit_container(m));
    return windows;
}

std::uint32_t keysymOfVirtualKey(KeyCode key)
{
    if ((key >= '0' && key <= '9') || key == ' ')
        return std::uint32_t(key);
    if (key >= 'A' && key <= 'Z')
        return std::uint32_t(key - 'A' + 'a');
    if (key >= 0x60 && key <= 0x69)
        return 0xFFB0 + std::uint32_t(key - 0x60);
    if (key >= 0x70 && key <= 0x87)
        return 0xFFBE + std::uint32_t(key - 0x70);
    const NamedKey *named = namedKey(key);
    return named ? named->keysym : 0;
}

std::string acceleratorName(unsigned modifiers, KeyCode key)
{
    std::string name = keyName(key);
    if (name.empty())
        return {};
    std::string accelerator;
    if (modifiers & hotkeymod::Control)
        accelerator += "<Control>";
    if (modifiers & hotkeymod::Alt)
        accelerator += "<Alt>";
    if (modifiers & hotkeymod::Shift)
        accelerator += "<Shift>";
    return accelerator + name;
}

} // namespace quorvel::gnome
