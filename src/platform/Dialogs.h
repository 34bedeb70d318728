#pragma once

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

} // namespace quorvel
