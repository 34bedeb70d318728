// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DateTime.h"

#include <ctime>
#include <functional>
#include <locale.h>
#include <string>

namespace quorvel {

// A locale's own strftime formats, as nl_langinfo gives them.
struct LocaleTimeFormats
{
    std::string date; // D_FMT, what %x writes
    std::string time; // T_FMT, what %X writes
    std::string time12; // T_FMT_AMPM, what %r writes
};

// The strftime pattern of each form, made from the locale's formats:
//   short date: %x, with a two-digit year written in full;
//   long date:  the weekday and the %x fields in their order, the month by name, the day
//               without a leading zero;
//   short time: %X without its seconds, on the 24-hour clock, with no AM/PM;
//   long time:  %X.
// Neither time names the zone.
std::string dateTimePattern(DateTimeFormat which, const LocaleTimeFormats &formats);

// The local date and time in the formats of the user's LC_TIME locale (LC_ALL, LC_TIME or
// LANG, as date(1) reads them), whatever the process's own locale is.
class PosixDateTimeFormatter : public DateTimeFormatter
{
public:
    explicit PosixDateTimeFormatter(
        std::function<std::time_t()> now = [] { return std::time(nullptr); });
    ~PosixDateTimeFormatter() override;
    PosixDateTimeFormatter(const PosixDateTimeFormatter &) = delete;
    PosixDateTimeFormatter &operator=(const PosixDateTimeFormatter &) = delete;
    std::string format(DateTimeFormat which) override;

private:
    std::function<std::time_t()> m_now;
    locale_t m_locale;
};

} // namespace quorvel
