// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixDateTime.h"

#include <ctime>

namespace quorvel {

std::string PosixDateTimeFormatter::format(DateTimeFormat which)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    const char *pattern = "%x";
    switch (which) {
    case DateTimeFormat::ShortDate:
        pattern = "%x";
        break;
    case DateTimeFormat::LongDate:
        pattern = "%A, %e %B %Y";
        break;
    case DateTimeFormat::ShortTime:
        pattern = "%H:%M";
        break;
    case DateTimeFormat::LongTime:
        pattern = "%X";
        break;
    }
    char buffer[256];
    const auto n = std::strftime(buffer, sizeof buffer, pattern, &local);
    return std::string(buffer, n);
}

} // namespace quorvel
