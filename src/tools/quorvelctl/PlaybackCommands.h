// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel::ctl {

// "quorvelctl keys", "trace" and "list"; argv starts after the subcommand name. Return the
// process exit status.
int keysCommand(int argc, char **argv);
int traceCommand(int argc, char **argv);
int listCommand(int argc, char **argv);

} // namespace quorvel::ctl
