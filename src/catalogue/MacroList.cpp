// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/MacroList.h"

namespace quorvel {

int imageIndexForType(int type)
{
    switch (type) {
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
        return 1;
    default:
        return 0; // kind 1, and the image an item keeps for an unknown kind
    }
}

std::string typeCaption(int type)
{
    switch (type) {
    case 1:
        return " - Starts an Application or Document";
    case 2:
        return " - Plays back Keystrokes";
    case 3:
        return " - Plays back Mouse and Keyboard";
    case 4:
        return " - Advanced Macro";
    default:
        return {};
    }
}

std::vector<MacroListRow> LoadMacroList(
    const Catalogue &catalogue, const KeyNameLookup &platformName)
{
    std::vector<MacroListRow> rows;
    const auto doc = catalogue.store().document();
    const int count = Catalogue::recordCount(*doc);
    for (int n = 1; n <= count; ++n) {
        const auto record = Catalogue::record(*doc, n);
        MacroListRow row;
        row.imageIndex = imageIndexForType(record.type);
        row.caption = Catalogue::listedName(*doc, n);
        row.hotKeyText = hotKeyText(record.hotKey, platformName);
        row.trigger = record.trigger;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace quorvel
