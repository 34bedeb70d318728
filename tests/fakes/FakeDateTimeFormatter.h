// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DateTime.h"

#include <map>
#include <string>

namespace quorvel::testing {

// A fixed moment: 7 December 2026, 21:05:03, in US formats unless changed.
class FakeDateTimeFormatter : public DateTimeFormatter
{
public:
    std::map<DateTimeFormat, std::string> values {
        { DateTimeFormat::ShortDate, "12/7/2026" },
        { DateTimeFormat::LongDate, "Monday, December 7, 2026" },
        { DateTimeFormat::ShortTime, "9:05 PM" },
        { DateTimeFormat::LongTime, "9:05:03 PM" },
    };

    std::string format(DateTimeFormat which) override { return values[which]; }
};

} // namespace quorvel::testing
