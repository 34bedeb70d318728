// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/Catalogue.h"
#include "catalogue/HotKeyValue.h"

#include <string>
#include <vector>

namespace quorvel {

struct MacroListRow
{
    int imageIndex = 0;
    std::string caption;
    std::string hotKeyText;
    std::string trigger;
    // The hot key never reaches the macro: greyed, and the tip says who holds it.
    bool hotKeyRefused = false;
    std::string hotKeyTip;
};

// The rows of the main window's list, in record order.
std::vector<MacroListRow> LoadMacroList(
    const Catalogue &catalogue, const KeyNameLookup &platformName = {});

// Image index and status-bar caption of a macro kind.
int imageIndexForType(int type);
std::string typeCaption(int type);

} // namespace quorvel
