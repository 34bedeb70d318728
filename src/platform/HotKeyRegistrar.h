// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

#include <functional>
#include <vector>

namespace quorvel {

// Modifier bits of a registration, as RegisterHotKey takes them.
namespace hotkeymod {
constexpr unsigned Alt = 1, Control = 2, Shift = 4;
}

// A press of a registered combination: its hotkeymod bits and key.
using HotKeyPress = std::function<void(unsigned modifiers, KeyCode key)>;

struct HotKeyCombination
{
    unsigned modifiers = 0;
    KeyCode key = 0;
};

// Global key registrations. A combination someone else holds is refused silently.
class HotKeyRegistrar
{
public:
    virtual ~HotKeyRegistrar() = default;
    // Returns a registration id, or 0 when the combination is refused.
    virtual int registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress) = 0;
    virtual void unregisterHotKey(int id) = 0;
    // Several at once, their ids in the same order; a desktop that binds its whole set again
    // at each change does it once here.
    virtual std::vector<int> registerHotKeys(
        const std::vector<HotKeyCombination> &keys, const HotKeyPress &onPress)
    {
        std::vector<int> ids;
        ids.reserve(keys.size());
        for (const HotKeyCombination &k : keys)
            ids.push_back(registerHotKey(k.modifiers, k.key, onPress));
        return ids;
    }
    // Gives the keys unregistered so far back to the desktop now, where that is otherwise
    // left for later.
    virtual void giveBackNow() { }
    // Whether another client holds the combination: a registration that is tried and given
    // back at once. A combination registered here is not held elsewhere.
    virtual bool heldElsewhere(unsigned modifiers, KeyCode key) = 0;
    // Whether a window that grabs the keyboard, as the hot-key boxes do, still gets the
    // combinations registered here.
    virtual bool grabsSeeRegisteredKeys() const { return true; }
    // GetActiveWindow's role: one of our own windows is active, as the query set says.
    virtual bool applicationActive() { return m_activeQuery ? m_activeQuery() : false; }
    void setApplicationActiveQuery(std::function<bool()> query)
    {
        m_activeQuery = std::move(query);
    }

private:
    std::function<bool()> m_activeQuery;
};

} // namespace quorvel
