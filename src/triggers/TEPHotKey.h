// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"
#include "platform/HotKeyRegistrar.h"

#include <functional>

namespace quorvel {

// One global hot key. HotKey is a hot-key value (key code in bits 0..12, 0x2000 Shift,
// 0x4000 Ctrl, 0x8000 Alt), 0 for none. A combination the platform refuses keeps its value
// and simply never arrives.
class TEPHotKey
{
public:
    // Key in and out: the key code; Shift: the modifier bits of the value (hotkey::Shift,
    // hotkey::Ctrl, hotkey::Alt).
    using HotKeyEvent = std::function<void(TEPHotKey &sender, unsigned &key, unsigned shift)>;

    // errors shows what a handler raises; without one it goes no further either.
    explicit TEPHotKey(HotKeyRegistrar &registrar, ErrorDisplay *errors = nullptr);
    ~TEPHotKey();
    TEPHotKey(const TEPHotKey &) = delete;
    TEPHotKey &operator=(const TEPHotKey &) = delete;

    unsigned HotKey() const { return m_hotKey; }
    bool Enabled() const { return m_enabled; }
    bool Global() const { return m_global; }

    void SetHotKey(unsigned value);
    void SetEnabled(bool value);
    void SetGlobal(bool value) { m_global = value; }

    HotKeyEvent OnHotKey;

    // Whether the platform accepted the current combination.
    bool registered() const { return m_id != 0; }

    // The hotkeymod bits a hot-key value registers with.
    static unsigned registrationModifiers(unsigned value);

private:
    void registerKey();
    void unregisterKey();
    void hotKeyArrived(unsigned modifiers, KeyCode key);

    HotKeyRegistrar &m_registrar;
    ErrorDisplay *m_errors;
    unsigned m_hotKey = 0;
    bool m_enabled = true;
    bool m_global = true;
    int m_id = 0;
};

} // namespace quorvel
