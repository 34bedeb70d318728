// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DateTime.h"

namespace quorvel {

// The date and time in the formats of the C library's current locale (LC_TIME).
class PosixDateTimeFormatter : public DateTimeFormatter
{
public:
    std::string format(DateTimeFormat which) override;
};

} // namespace quorvel
