// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixDateTime.h"

#include <algorithm>
#include <langinfo.h>
#include <string_view>
#include <vector>

namespace quorvel {

namespace {

// A piece of a strftime format: literal text, or one conversion with its flags.
struct Part
{
    std::string text; // as it stands in the format ("%-d", "%%", "/")
    char letter = 0; // the conversion's letter; 0 for literal text
    char modifier = 0; // 'E' or 'O', or 0
    bool removed = false;

    bool literal() const { return letter == 0; }
    bool blank() const
    {
        return literal()
            && std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
    }
};

std::vector<Part> parse(std::string_view format)
{
    std::vector<Part> parts;
    auto addLiteral = [&](std::string_view text) {
        if (parts.empty() || !parts.back().literal())
            parts.emplace_back();
        parts.back().text += text;
    };
    for (std::size_t i = 0; i < format.size();) {
        if (format[i] != '%') {
            addLiteral(format.substr(i, 1));
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < format.size()
            && std::string_view("_-0^#").find(format[j]) != std::string_view::npos)
            ++j;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9')
            ++j;
        char modifier = 0;
        if (j < format.size() && (format[j] == 'E' || format[j] == 'O'))
            modifier = format[j++];
        if (j >= format.size()) {
            addLiteral(format.substr(i)); // a cut-off conversion is no conversion
            break;
        }
        if (format[j] == '%') {
            addLiteral("%%");
        } else {
            parts.push_back(Part { std::string(format.substr(i, j + 1 - i)), format[j], modifier });
        }
        i = j + 1;
    }
    return parts;
}

// The composite conversions written out, so each field can be told apart.
std::vector<Part> expand(std::string_view format, const LocaleTimeFormats &formats, int depth = 0)
{
    std::vector<Part> out;
    for (Part &p : parse(format)) {
        std::string_view inner;
        switch (p.modifier ? 0 : p.letter) {
        case 'D':
            inner = "%m/%d/%y";
            break;
        case 'F':
            inner = "%Y-%m-%d";
            break;
        case 'T':
            inner = "%H:%M:%S";
            break;
        case 'R':
            inner = "%H:%M";
            break;
        case 'r':
            inner = formats.time12;
            if (inner.empty())
                inner = "%I:%M:%S %p";
            break;
        case 'X':
            inner = formats.time;
            break;
        case 'x':
            inner = formats.date;
            break;
        case 'h':
            inner = "%b";
            break;
        default:
            break;
        }
        // A locale whose formats name each other ends here.
        if (inner.empty() || depth > 3) {
            out.push_back(std::move(p));
            continue;
        }
        for (Part &q : expand(inner, formats, depth + 1)) {
            if (q.literal() && !out.empty() && out.back().literal())
                out.back().text += q.text;
            else
                out.push_back(std::move(q));
        }
    }
    return out;
}

std::string join(const std::vector<Part> &parts)
{
    std::string out;
    for (const Part &p : parts) {
        if (!p.removed)
            out += p.text;
    }
    const auto first = out.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(" \t") + 1 - first);
}

// The nearest part on that side still there, or nullptr.
Part *neighbour(std::vector<Part> &parts, std::size_t i, int side)
{
    for (auto j = static_cast<std::ptrdiff_t>(i) + side;
         j >= 0 && j < static_cast<std::ptrdiff_t>(parts.size()); j += side) {
        if (!parts[static_cast<std::size_t>(j)].removed)
            return &parts[static_cast<std::size_t>(j)];
    }
    return nullptr;
}

// Drops a conversion with the blank that sets it apart ("... %p", "%Z ...").
void removeWithBlank(std::vector<Part> &parts, std::size_t i)
{
    parts[i].removed = true;
    Part *before = neighbour(parts, i, -1);
    Part *after = neighbour(parts, i, +1);
    if (before && before->blank())
        before->removed = true;
    else if (after && after->blank())
        after->removed = true;
}

bool isZone(const Part &p)
{
    return p.letter == 'Z' || p.letter == 'z';
}

std::string shortDate(const LocaleTimeFormats &formats)
{
    auto parts = expand(formats.date.empty() ? "%m/%d/%y" : formats.date, formats);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        // %C%y is a whole year already; an era's year (%Ey) is the era's.
        const bool century = i > 0 && parts[i - 1].letter == 'C';
        if (parts[i].letter == 'y' && !parts[i].modifier && !century)
            parts[i].text = "%Y";
    }
    return join(parts);
}

std::string longDate(const LocaleTimeFormats &formats)
{
    auto parts = expand(formats.date.empty() ? "%m/%d/%y" : formats.date, formats);
    const bool ideographic = std::any_of(parts.begin(), parts.end(), [](const Part &p) {
        return p.literal()
            && std::any_of(p.text.begin(), p.text.end(), [](char c) { return (c & 0x80) != 0; });
    });
    if (ideographic) {
        // Year, month and day each with its own sign after it: the weekday follows.
        bool spaced = false;
        for (Part &p : parts) {
            spaced = spaced || p.text.find(' ') != std::string::npos;
            switch (p.letter) {
            case 'y':
                p.text = p.modifier ? p.text : "%Y";
                break;
            case 'm':
                p.text = "%-m";
                break;
            case 'd':
            case 'e':
                p.text = "%-d";
                break;
            case 'b':
                p.text = "%B";
                break;
            default:
                break;
            }
        }
        return join(parts) + (spaced ? " %A" : "%A");
    }
    // The month before the day, as in 12/31/2026.
    std::string order;
    for (const Part &p : parts) {
        if (p.letter == 'd' || p.letter == 'e')
            order += 'D';
        else if (p.letter == 'm' || p.letter == 'b' || p.letter == 'B')
            order += 'M';
    }
    return order.rfind("MD", 0) == 0 ? "%A, %B %-d, %Y" : "%A, %-d %B %Y";
}

std::string longTime(const LocaleTimeFormats &formats)
{
    auto parts = expand(formats.time.empty() ? "%H:%M:%S" : formats.time, formats);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (isZone(parts[i]))
            removeWithBlank(parts, i);
    }
    return join(parts);
}

std::string shortTime(const LocaleTimeFormats &formats)
{
    auto parts = expand(formats.time.empty() ? "%H:%M:%S" : formats.time, formats);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Part &p = parts[i];
        if (p.removed)
            continue;
        if (isZone(p) || p.letter == 'p' || p.letter == 'P') {
            removeWithBlank(parts, i);
        } else if (p.letter == 'S') {
            p.removed = true;
            // "14時36分30秒" has its sign after the seconds, "14:36:30" its separator before.
            Part *after = neighbour(parts, i, +1);
            Part *before = neighbour(parts, i, -1);
            if (after && after->literal() && !after->blank())
                after->removed = true;
            else if (before && before->literal())
                before->removed = true;
        } else if (p.letter == 'I') {
            p.text = p.modifier ? "%OH" : "%H";
        } else if (p.letter == 'l') {
            p.text = "%-H";
        }
    }
    return join(parts);
}

} // namespace

std::string dateTimePattern(DateTimeFormat which, const LocaleTimeFormats &formats)
{
    switch (which) {
    case DateTimeFormat::ShortDate:
        return shortDate(formats);
    case DateTimeFormat::LongDate:
        return longDate(formats);
    case DateTimeFormat::ShortTime:
        return shortTime(formats);
    case DateTimeFormat::LongTime:
        return longTime(formats);
    }
    return {};
}

PosixDateTimeFormatter::PosixDateTimeFormatter(std::function<std::time_t()> now)
    : m_now(std::move(now))
    , m_locale(newlocale(LC_TIME_MASK, "", locale_t {}))
{
    // A locale the system lacks: the C library's own forms.
    if (!m_locale)
        m_locale = newlocale(LC_TIME_MASK, "C", locale_t {});
}

PosixDateTimeFormatter::~PosixDateTimeFormatter()
{
    if (m_locale)
        freelocale(m_locale);
}

std::string PosixDateTimeFormatter::format(DateTimeFormat which)
{
    const LocaleTimeFormats formats { nl_langinfo_l(D_FMT, m_locale),
        nl_langinfo_l(T_FMT, m_locale), nl_langinfo_l(T_FMT_AMPM, m_locale) };
    const std::string pattern = dateTimePattern(which, formats);
    const std::time_t now = m_now();
    std::tm local {};
    localtime_r(&now, &local);
    char buffer[512];
    const auto n = strftime_l(buffer, sizeof buffer, pattern.c_str(), &local, m_locale);
    return std::string(buffer, n);
}

} // namespace quorvel
