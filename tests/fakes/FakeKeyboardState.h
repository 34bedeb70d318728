// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeySink.h"

#include <set>
#include <vector>

namespace quorvel::testing {

// Keys the user holds; every query is recorded in order.
class FakeKeyboardState : public KeyboardState
{
public:
    std::set<KeyCode> held;
    std::vector<KeyCode> queries;

    bool isKeyDown(KeyCode key) override
    {
        queries.push_back(key);
        return held.count(key) != 0;
    }
};

} // namespace quorvel::testing
