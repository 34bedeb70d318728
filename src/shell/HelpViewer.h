// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace quorvel {

namespace help {
// The topics the windows ask for.
inline constexpr std::string_view Operation = "Operation";
inline constexpr std::string_view Faq = "FAQ";
inline constexpr std::string_view Desktops = "Desktops";
} // namespace help

// Shows the help at a topic; an unknown topic shows the contents.
class HelpViewer
{
public:
    virtual ~HelpViewer() = default;
    virtual void showHelp(std::string_view topic) = 0;
};

} // namespace quorvel
