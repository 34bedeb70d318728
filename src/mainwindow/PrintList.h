// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "catalogue/MacroList.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

namespace printing {
inline constexpr const char *Heading = "HOTKEY      \t\tMACRO NAME";
inline constexpr const char *Rule = "_________________________________";
inline constexpr int TabStopChars = 8;
// Hot-key texts up to this many characters get three tabs, longer ones two.
inline constexpr int ShortHotKeyChars = 8;
inline constexpr const char *DocumentName = "Quorvel";
} // namespace printing

// The reference sheet: the two heading lines, then one line per row with a hot key.
std::vector<std::string> printLines(const std::vector<MacroListRow> &rows);

// The printer font as the text device measures it, in device units.
class FontMetric
{
public:
    virtual ~FontMetric() = default;
    virtual int averageCharWidth() const = 0;
    virtual int lineHeight() const = 0;
    virtual int textWidth(std::string_view text) const = 0;
};

// A piece of a line drawn at x on its printed line.
struct PrintRun
{
    int x = 0;
    std::string text;
    bool operator==(const PrintRun &) const = default;
};

// One printed line: its top and what is drawn on it.
struct PrintedLine
{
    int y = 0;
    std::vector<PrintRun> runs;
};

using PrintedPage = std::vector<PrintedLine>;

// Places the lines as a text device does: tabs to the next stop every eight average
// character widths, a line wider than the page continued on the next, and a new page when
// the next line would not fit. Every page holds at least one line, however small the page.
std::vector<PrintedPage> layoutPages(
    const std::vector<std::string> &lines, const FontMetric &font, int pageWidth, int pageHeight);

} // namespace quorvel
