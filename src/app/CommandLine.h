// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/Catalogue.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

// Arguments arrive already split; quotes left inside one are removed as the Windows splitting
// would have done, except that /Open:"name" loses only its outer pair, so that a name holding
// a quote still arrives whole.
std::string unquoteArgument(std::string_view argument);

struct CommandLineResult
{
    bool closeWhenDone = false;
};

// DoCommandLine: runs every record named by /OPEN: or a bare name, in catalogue order,
// pumping events after each record. An error from a run propagates; the remaining
// arguments are then not processed.
CommandLineResult DoCommandLine(const std::vector<std::string> &arguments,
    const Catalogue &catalogue, const std::function<void(int record)> &runRecord,
    const std::function<void()> &pump);

// The name an argument asks for; empty for /CLOSE.
std::string wantedName(std::string_view argument);

} // namespace quorvel
