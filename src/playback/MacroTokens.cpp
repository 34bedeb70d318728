// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/MacroTokens.h"

#include <string>

namespace quorvel::tokens {

std::optional<int> parseCount(View argument)
{
    // Leading blanks are skipped, as the platform's integer conversion does.
    while (!argument.empty() && argument.front() == U' ')
        argument.remove_prefix(1);
    return text::parseInteger(text::encode(argument));
}

} // namespace quorvel::tokens
