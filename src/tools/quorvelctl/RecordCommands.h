// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quorvel::ctl {

// "quorvelctl record [--keys-only] FILE" and "quorvelctl replay [--fast] FILE";
// argv starts after the subcommand name. Return the process exit status.
int recordCommand(int argc, char **argv);
int replayCommand(int argc, char **argv);

} // namespace quorvel::ctl
