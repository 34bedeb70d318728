// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixDateTime.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Wednesday, 9 December 2026, 14:36:30; names in the C locale's words.
std::string written(DateTimeFormat which, const LocaleTimeFormats &formats)
{
    std::tm t {};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 9;
    t.tm_wday = 3;
    t.tm_hour = 14;
    t.tm_min = 36;
    t.tm_sec = 30;
    char buffer[256];
    const auto n =
        std::strftime(buffer, sizeof buffer, dateTimePattern(which, formats).c_str(), &t);
    return std::string(buffer, n);
}

// The D_FMT, T_FMT and T_FMT_AMPM of glibc's locales.
TEST(PosixDateTime, TheLocalesOwnFormsWithAFullYearAndNoZone)
{
    const struct
    {
        const char *locale;
        LocaleTimeFormats formats;
        const char *shortDate, *longDate, *shortTime, *longTime;
    } cases[] = {
        { "C", { "%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p" }, "12/09/2026",
            "Wednesday, December 9, 2026", "14:36", "14:36:30" },
        { "en_US", { "%m/%d/%Y", "%r", "%I:%M:%S %p" }, "12/09/2026", "Wednesday, December 9, 2026",
            "14:36", "02:36:30 PM" },
        { "en_GB", { "%d/%m/%y", "%T", "%l:%M:%S %P %Z" }, "09/12/2026",
            "Wednesday, 9 December 2026", "14:36", "14:36:30" },
        { "de_DE", { "%d.%m.%Y", "%T", "" }, "09.12.2026", "Wednesday, 9 December 2026", "14:36",
            "14:36:30" },
        { "fi_FI", { "%d.%m.%Y", "%H.%M.%S", "" }, "09.12.2026", "Wednesday, 9 December 2026",
            "14.36", "14.36.30" },
        { "en_AU", { "%d/%m/%y", "%I:%M:%S %p %Z", "%I:%M:%S %p %Z" }, "09/12/2026",
            "Wednesday, 9 December 2026", "14:36", "02:36:30 PM" },
        { "ja_JP", { "%Y年%m月%d日", "%H時%M分%S秒", "%p%I時%M分%S秒" }, "2026年12月09日",
            "2026年12月9日Wednesday", "14時36分", "14時36分30秒" },
        { "ko_KR", { "%Y년 %m월 %d일", "%H시 %M분 %S초", "%p %I시 %M분 %S초" }, "2026년 12월 09일",
            "2026년 12월 9일 Wednesday", "14시 36분", "14시 36분 30초" },
        { "composites", { "%D", "%R %Z", "" }, "12/09/2026", "Wednesday, December 9, 2026", "14:36",
            "14:36" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(written(DateTimeFormat::ShortDate, c.formats), c.shortDate);
        EXPECT_EQ(written(DateTimeFormat::LongDate, c.formats), c.longDate);
        EXPECT_EQ(written(DateTimeFormat::ShortTime, c.formats), c.shortTime);
        EXPECT_EQ(written(DateTimeFormat::LongTime, c.formats), c.longTime);
    }
}

TEST(PosixDateTime, TheClockInTheUsersLocale)
{
    const char *zone = std::getenv("TZ");
    const std::string saved = zone ? zone : "";
    ASSERT_EQ(setenv("TZ", "UTC", 1), 0);
    tzset();
    // LC_ALL would win over LC_TIME; a locale the system lacks is the C locale's.
    const char *all = std::getenv("LC_ALL");
    const std::string savedAll = all ? all : "";
    unsetenv("LC_ALL");
    ASSERT_EQ(setenv("LC_TIME", "xx_NOWHERE.UTF-8", 1), 0);
    PosixDateTimeFormatter formatter([] { return std::time_t(1796826990); });
    unsetenv("LC_TIME");
    if (all)
        setenv("LC_ALL", savedAll.c_str(), 1);
    EXPECT_EQ(formatter.format(DateTimeFormat::ShortDate), "12/09/2026");
    EXPECT_EQ(formatter.format(DateTimeFormat::LongDate), "Wednesday, December 9, 2026");
    EXPECT_EQ(formatter.format(DateTimeFormat::LongTime), "14:36:30");
    if (zone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

} // namespace
