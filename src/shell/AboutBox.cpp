// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/AboutBox.h"

#include "catalogue/MacroFiles.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace quorvel {

namespace {

// The value of a "Key:   1234 kB" line, in kB.
std::optional<std::uint64_t> meminfoValue(std::string_view text, std::string_view key)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key
            || line[key.size()] != ':')
            continue;
        std::string_view rest = line.substr(key.size() + 1);
        const auto first = rest.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(first);
        std::uint64_t value = 0;
        const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (ec != std::errc() || ptr == rest.data())
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

} // namespace

std::string formatKilobytes(std::uint64_t kilobytes)
{
    std::string digits = std::to_string(kilobytes);
    std::string grouped;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped + " KB";
}

AboutFigures aboutFigures(std::string_view meminfo)
{
    const auto total = meminfoValue(meminfo, "MemTotal");
    auto available = meminfoValue(meminfo, "MemAvailable");
    // Kernels before 3.14 lack MemAvailable; free memory is the nearest they tell.
    if (!available)
        available = meminfoValue(meminfo, "MemFree");
    int percent = 100;
    if (total && *total > 0 && available)
        percent = static_cast<int>(std::min(*available, *total) * 100 / *total);
    return { formatKilobytes(total.value_or(0)), std::to_string(percent) + "% Free" };
}

AboutFigures readAboutFigures()
{
    return aboutFigures(readWholeFile("/proc/meminfo").value_or(""));
}

std::string aboutProductLine(std::string_view version)
{
    return "Ostrin Quorvel Version " + std::string(version);
}

} // namespace quorvel
