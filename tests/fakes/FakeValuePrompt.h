// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::testing {

// Answers from a queue; empty when it runs out.
class FakeValuePrompt : public ValuePrompt
{
public:
    std::deque<std::string> answers;
    std::vector<std::string> prompts;
    std::function<void(const std::string &)> onAsk;

    std::string ask(const std::string &prompt) override
    {
        prompts.push_back(prompt);
        if (onAsk)
            onAsk(prompt);
        if (answers.empty())
            return {};
        std::string answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
};

} // namespace quorvel::testing
