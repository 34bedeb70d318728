// SPDX-License-Identifier: GPL-3.0-or-later
#include "triggers/TEPHotKey.h"

#include "catalogue/HotKeyValue.h"

#include <exception>

namespace quorvel {

TEPHotKey::TEPHotKey(HotKeyRegistrar &registrar, ErrorDisplay *errors)
    : m_registrar(registrar)
    , m_errors(errors)
{
}

TEPHotKey::~TEPHotKey()
{
    SetHotKey(0);
}

namespace {

// A hot-key value's modifier bit beside the registration's.
struct ModifierBit
{
    unsigned value, registration;
};
constexpr ModifierBit kModifierBits[] = { { hotkey::Alt, hotkeymod::Alt },
    { hotkey::Ctrl, hotkeymod::Control }, { hotkey::Shift, hotkeymod::Shift } };

} // namespace

unsigned TEPHotKey::registrationModifiers(unsigned value)
{
    unsigned modifiers = 0;
    for (const auto &bit : kModifierBits)
        modifiers |= (value & bit.value) ? bit.registration : 0u;
    return modifiers;
}

void TEPHotKey::registerKey()
{
    m_id = m_registrar.registerHotKey(registrationModifiers(m_hotKey),
        KeyCode(m_hotKey & hotkey::KeyMask),
        [this](unsigned modifiers, KeyCode key) { hotKeyArrived(modifiers, key); });
}

void TEPHotKey::unregisterKey()
{
    if (m_id != 0)
        m_registrar.unregisterHotKey(m_id);
    m_id = 0;
}

void TEPHotKey::SetHotKey(unsigned value)
{
    value &= 0xFFFF;
    if (value == m_hotKey)
        return;
    if (m_enabled) {
        // A combination replacing another is released first: its grab would otherwise stay
        // with no way left to give it back.
        unregisterKey();
        m_hotKey = value;
        if (value != 0)
            registerKey();
        return;
    }
    m_hotKey = value;
}

void TEPHotKey::SetEnabled(bool value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    if (value) {
        if (m_hotKey != 0)
            registerKey();
    } else {
        unregisterKey();
    }
}

void TEPHotKey::hotKeyArrived(unsigned modifiers, KeyCode pressed)
{
    if (!OnHotKey || !(m_global || m_registrar.applicationActive()))
        return;
    unsigned key = unsigned(pressed) & hotkey::KeyMask;
    unsigned shift = 0;
    for (const auto &bit : kModifierBits)
        shift |= (modifiers & bit.registration) ? bit.value : 0u;
    // Copied: the handler may replace it, or rebind this very component.
    const HotKeyEvent handler = OnHotKey;
    try {
        handler(*this, key, shift);
    } catch (const std::exception &e) {
        if (m_errors)
            m_errors->showError(e.what());
    }
}

} // namespace quorvel
