// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyRegistrar.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::testing {

// Registrations in a table. A combination another program holds (othersHold) or one already
// registered here is refused, as the platform refuses it.
class FakeHotKeyRegistrar : public HotKeyRegistrar
{
public:
    struct Registration
    {
        unsigned modifiers = 0;
        KeyCode key = 0;
        HotKeyPress onPress;
    };

    std::map<int, Registration> registrations;
    std::set<std::pair<unsigned, KeyCode>> othersHold;
    // "+3 0x41 #1", "-#1", "refused 3 0x41": every call in order.
    std::vector<std::string> log;
    bool active = false;
    int heldElsewhereCalls = 0;
    bool grabsSee = true;

    int registerHotKey(unsigned modifiers, KeyCode key, HotKeyPress onPress) override
    {
        if (othersHold.count({ modifiers, key }) || holds(modifiers, key)) {
            log.push_back("refused " + describe(modifiers, key));
            return 0;
        }
        const int id = m_next++;
        registrations[id] = Registration { modifiers, key, std::move(onPress) };
        // Appended, not "+" + ...: GCC 12 warns falsely on that at -O2 (-Wrestrict).
        std::string entry = "+";
        entry += describe(modifiers, key) + " #" + std::to_string(id);
        log.push_back(entry);
        return id;
    }

    void unregisterHotKey(int id) override
    {
        log.push_back("-#" + std::to_string(id));
        registrations.erase(id);
    }

    bool heldElsewhere(unsigned modifiers, KeyCode key) override
    {
        ++heldElsewhereCalls;
        return othersHold.count({ modifiers, key }) > 0;
    }

    bool applicationActive() override { return active; }
    bool grabsSeeRegisteredKeys() const override { return grabsSee; }

    bool holds(unsigned modifiers, KeyCode key) const
    {
        for (const auto &[id, r] : registrations) {
            if (r.modifiers == modifiers && r.key == key)
                return true;
        }
        return false;
    }

    // The user presses the combination; false when no registration of ours holds it.
    bool press(unsigned modifiers, KeyCode key)
    {
        for (const auto &[id, r] : registrations) {
            if (r.modifiers == modifiers && r.key == key) {
                auto onPress = r.onPress;
                if (onPress)
                    onPress(modifiers, key);
                return true;
            }
        }
        return false;
    }

    static std::string describe(unsigned modifiers, KeyCode key)
    {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%u 0x%X", modifiers, unsigned(key));
        return buffer;
    }

private:
    int m_next = 1;
};

} // namespace quorvel::testing
