// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/xkb/LayoutKeys.h"

#include <string>
#include <string_view>

namespace quorvel::portal {

// The layout KWin builds its keymap from: the [Layout] group of kxkbrc (LayoutList,
// VariantList, Options); empty names, xkbcommon's default, when it holds none.
xkb::LayoutNames kdeLayoutNames(std::string_view kxkbrc);
// The same read from configHome/kxkbrc; the default when the file is missing.
xkb::LayoutNames readKdeLayoutNames(const std::string &configHome);
// The user's: from $XDG_CONFIG_HOME, else ~/.config.
xkb::LayoutNames readKdeLayoutNames();

} // namespace quorvel::portal
