// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace quorvel {

enum class DateTimeFormat { ShortDate, LongDate, ShortTime, LongTime };

// The current local date or time in the user's regional format.
class DateTimeFormatter
{
public:
    virtual ~DateTimeFormatter() = default;
    virtual std::string format(DateTimeFormat which) = 0;
};

} // namespace quorvel
