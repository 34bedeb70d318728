// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel::ctl {

// "quorvelctl doctor"; argv starts after the subcommand name. Returns 0, also where nothing
// works, and 2 for a usage error.
int doctorCommand(int argc, char **argv);

} // namespace quorvel::ctl
