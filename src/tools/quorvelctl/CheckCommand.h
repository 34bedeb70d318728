// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel::ctl {

// "quorvelctl check"; argv starts after the subcommand name. Returns 0 when clean, 1 when
// something was found, 2 for a usage error or input that cannot be read.
int checkCommand(int argc, char **argv);

} // namespace quorvel::ctl
