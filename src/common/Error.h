// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace quorvel {

// An error inside an operation: ends the operation and is shown once by the top-level handler.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Fills the one "%s" of a message text.
inline std::string formatMessage(const std::string &pattern, const std::string &argument)
{
    const auto at = pattern.find("%s");
    if (at == std::string::npos)
        return pattern;
    return pattern.substr(0, at) + argument + pattern.substr(at + 2);
}

} // namespace quorvel
