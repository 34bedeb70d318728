// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <string>
#include <vector>

namespace quorvel::testing {

// Keeps every message the application would have shown, in order.
class FakeErrorDisplay : public ErrorDisplay
{
public:
    std::vector<std::string> shown;
    void showError(const std::string &message) override { shown.push_back(message); }
};

} // namespace quorvel::testing
