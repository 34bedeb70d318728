// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/ShortcutKeys.h"

#include "platform/HotKeyRegistrar.h"

namespace quorvel::portal {

namespace {

struct Named
{
    KeyCode key;
    const char *keysym; // xkbcommon's name, which the portal looks up
    int qtKey;
};

// Qt's codes for keys beyond Latin-1.
constexpr int kQtSpecial = 0x01000000;

constexpr Named kNamed[] = {
    { vk::Back, "BackSpace", kQtSpecial + 0x03 },
    { vk::Tab, "Tab", kQtSpecial + 0x01 },
    { vk::Return, "Return", kQtSpecial + 0x04 },
    { 0x13, "Pause", kQtSpecial + 0x08 },
    { vk::Escape, "Escape", kQtSpecial },
    { vk::Space, "space", 0x20 },
    { vk::Prior, "Prior", kQtSpecial + 0x16 },
    { vk::Next, "Next", kQtSpecial + 0x17 },
    { vk::End, "End", kQtSpecial + 0x11 },
    { vk::Home, "Home", kQtSpecial + 0x10 },
    { vk::Left, "Left", kQtSpecial + 0x12 },
    { vk::Up, "Up", kQtSpecial + 0x13 },
    { vk::Right, "Right", kQtSpecial + 0x14 },
    { vk::Down, "Down", kQtSpecial + 0x15 },
    { vk::Snapshot, "Print", kQtSpecial + 0x09 },
    { vk::Insert, "Insert", kQtSpecial + 0x06 },
    { vk::Delete, "Delete", kQtSpecial + 0x07 },
    { 0x5D, "Menu", kQtSpecial + 0x55 },
    // The punctuation keys of a US layout, as the hot-key box names them.
    { 0xBA, "semicolon", ';' },
    { 0xBB, "equal", '=' },
    { 0xBC, "comma", ',' },
    { 0xBD, "minus", '-' },
    { 0xBE, "period", '.' },
    { 0xBF, "slash", '/' },
    { 0xC0, "grave", '`' },
    { 0xDB, "bracketleft", '[' },
    { 0xDC, "backslash", '\\' },
    { 0xDD, "bracketright", ']' },
    { 0xDE, "apostrophe", '\'' },
};

} // namespace

std::optional<PortalShortcut> portalShortcutOf(unsigned modifiers, KeyCode key)
{
    PortalShortcut s;
    if (modifiers & hotkeymod::Control) {
        s.trigger += "CTRL+";
        s.qtKey |= 0x04000000;
    }
    if (modifiers & hotkeymod::Alt) {
        s.trigger += "ALT+";
        s.qtKey |= 0x08000000;
    }
    if (modifiers & hotkeymod::Shift) {
        s.trigger += "SHIFT+";
        s.qtKey |= 0x02000000;
    }
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        s.trigger += char(key >= 'A' ? key - 'A' + 'a' : key);
        s.qtKey |= key;
        return s;
    }
    if (key >= vk::F1 && key <= vk::F24) {
        s.trigger += "F" + std::to_string(key - vk::F1 + 1);
        s.qtKey |= kQtSpecial + 0x30 + (key - vk::F1);
        return s;
    }
    for (const Named &n : kNamed) {
        if (n.key == key) {
            s.trigger += n.keysym;
            s.qtKey |= n.qtKey;
            return s;
        }
    }
    return std::nullopt;
}

} // namespace quorvel::portal
