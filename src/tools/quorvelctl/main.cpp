// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/quorvelctl/CheckCommand.h"
#include "tools/quorvelctl/DoctorCommand.h"
#include "tools/quorvelctl/PlaybackCommands.h"
#include "tools/quorvelctl/RecordCommands.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kHelp =
    "Usage: quorvelctl COMMAND [ARGS]...\n"
    "Checks macros without typing anything, records or replays input, and says where\n"
    "Quorvel works.\n"
    "\n"
    "Commands:\n"
    "  keys [--tokens-only] STRING...   trace the key events of keystroke strings\n"
    "  trace [OPTIONS] FILE             trace an advanced macro file\n"
    "  check [--catalogue FILE] [FILE]  report what advanced macros would do silently\n"
    "  list [--catalogue FILE]          print the macro list\n"
    "  record [--keys-only] FILE        record input into FILE\n"
    "  replay [--fast] FILE             replay a recording\n"
    "  doctor                           say which features work in this session\n"
    "\n"
    "'quorvelctl COMMAND --help' describes each command.\n";

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kHelp, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const char *command = argv[1];
    int rest = argc - 2;
    char **args = argv + 2;
    int status = 2;
    if (std::strcmp(command, "keys") == 0)
        status = quorvel::ctl::keysCommand(rest, args);
    else if (std::strcmp(command, "trace") == 0)
        status = quorvel::ctl::traceCommand(rest, args);
    else if (std::strcmp(command, "check") == 0)
        status = quorvel::ctl::checkCommand(rest, args);
    else if (std::strcmp(command, "list") == 0)
        status = quorvel::ctl::listCommand(rest, args);
    else if (std::strcmp(command, "record") == 0)
        status = quorvel::ctl::recordCommand(rest, args);
    else if (std::strcmp(command, "replay") == 0)
        status = quorvel::ctl::replayCommand(rest, args);
    else if (std::strcmp(command, "doctor") == 0)
        status = quorvel::ctl::doctorCommand(rest, args);
    else
        std::fprintf(
            stderr, "quorvelctl: unknown command '%s'\nTry 'quorvelctl --help'.\n", command);
    std::fflush(stdout);
    return status;
}
