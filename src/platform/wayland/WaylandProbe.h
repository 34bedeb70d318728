// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvel::wayland {

// The interfaces the compositor's registry announces ($WAYLAND_DISPLAY); nothing when no
// compositor answers.
std::optional<std::vector<std::string>> waylandGlobals();

} // namespace quorvel::wayland
