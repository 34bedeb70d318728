// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace quorvel {

// The value prompt of the advanced macro language: prompt text in, answer out.
class ValuePrompt
{
public:
    virtual ~ValuePrompt() = default;
    virtual std::string ask(const std::string &prompt) = 0;
};

// The application's standard error display; shows one message once.
class ErrorDisplay
{
public:
    virtual ~ErrorDisplay() = default;
    virtual void showError(const std::string &message) = 0;
};

// Runs a request delivered by a hot key, a timer, a menu or the command line; an error ends
// it and is shown once, and never crosses the event loop. Returns false after an error.
bool runGuarded(ErrorDisplay &errors, const std::function<void()> &request);

} // namespace quorvel
