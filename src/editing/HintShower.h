// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

// Shows a hint in the hint window, modally, when the user wants hints ("Show Hints").
class HintShower
{
public:
    virtual ~HintShower() = default;
    virtual void ShowHint(const std::string &text) = 0;
};

} // namespace quorvel
