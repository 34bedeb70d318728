// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/HotKeyValue.h"

#include "common/Text.h"

namespace quorvel {

std::string usLayoutKeyName(int virtualKey)
{
    switch (virtualKey) {
    case 0xBA:
        return ";";
    case 0xBB:
        return "=";
    case 0xBC:
        return ",";
    case 0xBD:
        return "-";
    case 0xBE:
        return ".";
    case 0xBF:
        return "/";
    case 0xC0:
        return "`";
    case 0xDB:
        return "[";
    case 0xDC:
        return "\\";
    case 0xDD:
        return "]";
    case 0xDE:
        return "'";
    default:
        return {};
    }
}

std::string hotKeyKeyName(unsigned value, const KeyNameLookup &platformName)
{
    const unsigned key = value & 0xFF;
    switch (key) {
    case 0x08:
        return "BkSp";
    case 0x09:
        return "Tab";
    case 0x0D:
        return "Enter";
    case 0x1B:
        return "Esc";
    case 0x2D:
        return "Ins";
    case 0x2E:
        return "Del";
    default:
        break;
    }
    static const char *const kNavigation[] = { "Space", "PgUp", "PgDn", "End", "Home", "Left", "Up",
        "Right", "Down" };
    if (key >= 0x20 && key <= 0x28)
        return kNavigation[key - 0x20];
    if ((key >= 0x30 && key <= 0x39) || (key >= 0x41 && key <= 0x5A))
        return std::string(1, static_cast<char>(key));
    if (key >= 0x60 && key <= 0x69)
        return std::string(1, static_cast<char>('0' + (key - 0x60)));
    if (key >= 0x70 && key <= 0x87)
        return std::string("F").append(std::to_string(key - 0x70 + 1));
    auto name =
        platformName ? platformName(static_cast<int>(key)) : usLayoutKeyName(static_cast<int>(key));
    // Only a one-character name is used; anything else leaves the key unnamed.
    if (text::decode(name).size() != 1)
        return {};
    return name;
}

std::string hotKeyText(unsigned value, const KeyNameLookup &platformName)
{
    value &= 0xFFFF;
    if (value == 0)
        return {};
    const auto name = hotKeyKeyName(value, platformName);
    if (name.empty())
        return {};
    std::string text;
    if (value & hotkey::Shift)
        text += "Shift+";
    if (value & hotkey::Ctrl)
        text += "Ctrl+";
    if (value & hotkey::Alt)
        text += "Alt+";
    return text + name;
}

} // namespace quorvel
