// SPDX-License-Identifier: GPL-3.0-or-later
#include "components/HotKeyBoxModel.h"

namespace quorvel {

namespace {

constexpr unsigned kModifiers = hotkey::Shift | hotkey::Ctrl | hotkey::Alt;
constexpr int kBackspace = 0x08;

std::string modifierText(unsigned modifiers)
{
    std::string text;
    if (modifiers & hotkey::Shift)
        text += "Shift+";
    if (modifiers & hotkey::Ctrl)
        text += "Ctrl+";
    if (modifiers & hotkey::Alt)
        text += "Alt+";
    return text;
}

} // namespace

unsigned HotKeyBoxModel::modifierOfKey(int virtualKey)
{
    switch (virtualKey) {
    case 0x10:
    case 0xA0:
    case 0xA1:
        return hotkey::Shift;
    case 0x11:
    case 0xA2:
    case 0xA3:
        return hotkey::Ctrl;
    case 0x12:
    case 0xA4:
    case 0xA5:
        return hotkey::Alt;
    default:
        return 0;
    }
}

void HotKeyBoxModel::SetHotKey(unsigned value)
{
    m_value = value & 0xFFFF;
    m_pending = false;
}

bool HotKeyBoxModel::keyDown(int virtualKey, unsigned modifiers)
{
    const auto before = text();
    modifiers &= kModifiers;
    if (const unsigned own = modifierOfKey(virtualKey)) {
        m_held = modifiers | own;
        m_pending = true;
        return text() != before;
    }
    m_held = modifiers;
    if (virtualKey <= 0 || virtualKey > 0xFE)
        return false;
    if (virtualKey == kBackspace && modifiers == 0) {
        m_value = 0;
        m_pending = false;
        return text() != before;
    }
    if ((modifiers & ~hotkey::Shift) == 0)
        modifiers |= hotkey::Alt;
    const unsigned value = static_cast<unsigned>(virtualKey) | modifiers;
    // A key without a display name would give a hot key nobody can see in the list.
    if (hotKeyText(value, m_keyName).empty())
        return false;
    m_value = value;
    m_pending = false;
    return text() != before;
}

bool HotKeyBoxModel::keyUp(int virtualKey, unsigned modifiers)
{
    const auto before = text();
    m_held = modifiers & kModifiers & ~modifierOfKey(virtualKey);
    if (m_held == 0)
        m_pending = false;
    return text() != before;
}

bool HotKeyBoxModel::releaseAll()
{
    return keyUp(0, 0);
}

std::string HotKeyBoxModel::text() const
{
    if (m_pending && m_held)
        return modifierText(m_held);
    if (m_value == 0)
        return EmptyText;
    const auto text = hotKeyText(m_value, m_keyName);
    return text.empty() ? EmptyText : text;
}

} // namespace quorvel
