// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// The two figures of the about box.
struct AboutFigures
{
    std::string physicalMemory; // "16,384,000 KB"
    std::string systemResources; // "42% Free"
    bool operator==(const AboutFigures &) const = default;
};

// '#,###" KB"': digits grouped by three with commas.
std::string formatKilobytes(std::uint64_t kilobytes);

// From the text of /proc/meminfo: the total memory, and the share of it still available
// as the counterpart of free system resources (100 when it cannot be told).
AboutFigures aboutFigures(std::string_view meminfo);
// The same from this machine's /proc/meminfo.
AboutFigures readAboutFigures();

// The texts beside them.
std::string aboutProductLine(std::string_view version);
inline constexpr std::string_view AboutCaption = "About Quorvel";
inline constexpr std::string_view AboutNotice = "Copyright (c) Ostrin. All rights reserved.";
inline constexpr std::string_view AboutDescription =
    "Quorvel runs your macros from hot keys, window titles and desktop shortcuts.";
inline constexpr std::string_view MemoryLabel = "Physical memory available to Windows:";
inline constexpr std::string_view ResourcesLabel = "System resources:";

} // namespace quorvel
