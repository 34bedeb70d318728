#include "RecordCommands.h"

#include <cstdio>

namespace quorvel::ctl {

int recordCommand(int, char **)
{
    std::fputs("quorvelctl: recording is not available yet\n", stderr);
    return 1;
}

int replayCommand(int, char **)
{
    std::fputs("quorvelctl: replay is not available yet\n", stderr);
    return 1;
}

} // namespace quorvel::ctl
