// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::wayland {

// A key combination as sway compares bindings: the modifier mask (Shift 1, Lock 2, Ctrl 4,
// Mod1 8 ... Mod5 128) and the keysym.
struct SwayCombo
{
    unsigned modifiers = 0;
    unsigned keysym = 0;
    bool operator==(const SwayCombo &) const = default;
};

// The bindsym text of hotkeymod bits and a virtual-key code ("Ctrl+Alt+q"); empty when the
// key has no keysym.
std::string swayCombination(unsigned modifiers, KeyCode key);

// A bindsym combination as sway reads it: modifier names in any case and order, keysym names
// case-insensitive. Nothing for a mouse button, an unknown name or several keys at once.
std::optional<SwayCombo> parseSwayCombination(std::string_view text);

// Reads a file that the config includes; nothing when it cannot be read.
using ConfigFileReader = std::function<std::optional<std::string>(const std::string &path)>;

// The keyboard combinations that a sway config binds in its default mode: bindsym lines and
// bindsym blocks, with the config's variables, following include lines (paths relative to the
// folder of configFile, shell patterns expanded). As sway does, each file is read once and
// variables are substituted in one pass; what is read is bounded whatever the files hold.
std::vector<SwayCombo> configuredCombos(
    std::string_view config, const std::string &configFile, const ConfigFileReader &read);

// The whole of a regular file of at most maxBytes; nothing for anything else (a FIFO, a
// device, a larger file), without blocking on it.
std::optional<std::string> readRegularFile(const std::string &path, std::size_t maxBytes);

// An included file as configuredCombos reads it: regular, at most a MiB.
std::optional<std::string> readConfigFile(const std::string &path);

} // namespace quorvel::wayland
