// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/PrintList.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorvel {
namespace {

// Every byte ten units wide, lines twelve high: positions are easy to predict.
class FixedFont : public FontMetric
{
public:
    int averageCharWidth() const override { return 10; }
    int lineHeight() const override { return 12; }
    int textWidth(std::string_view text) const override
    {
        return static_cast<int>(text.size()) * 10;
    }
};

MacroListRow row(std::string caption, std::string hotKeyText)
{
    MacroListRow r;
    r.caption = std::move(caption);
    r.hotKeyText = std::move(hotKeyText);
    return r;
}

const std::string heading = "HOTKEY      \t\tMACRO NAME";
const std::string rule(33, '_');

TEST(PrintLines, HeadingLinesAreFixed)
{
    EXPECT_EQ(std::string(printing::Heading), heading);
    EXPECT_EQ(std::string(printing::Rule), rule);
}

struct LinesCase
{
    const char *what;
    std::vector<MacroListRow> rows;
    std::vector<std::string> body;
};

class PrintLinesTable : public ::testing::TestWithParam<LinesCase>
{
};

TEST_P(PrintLinesTable, BodyFollowsTheHeading)
{
    const auto &c = GetParam();
    std::vector<std::string> expected { heading, rule };
    expected.insert(expected.end(), c.body.begin(), c.body.end());
    EXPECT_EQ(printLines(c.rows), expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Rows, PrintLinesTable,
    ::testing::Values(LinesCase { "empty catalogue", {}, {} },
        LinesCase { "no hot keys", { row("A", ""), row("Window", "") }, {} },
        LinesCase { "two characters", { row("Two", "F2") }, { "F2\t\t\tTwo" } },
        LinesCase { "eight characters", { row("Eight", "Ctrl+F12") }, { "Ctrl+F12\t\t\tEight" } },
        LinesCase { "nine characters", { row("Nine", "Shift+F10") }, { "Shift+F10\t\tNine" } },
        LinesCase {
            "twelve characters", { row("Twelve", "Ctrl+Alt+F12") }, { "Ctrl+Alt+F12\t\tTwelve" } },
        // Characters, not bytes: eight of them in nine bytes still get three tabs.
        LinesCase { "eight characters in nine bytes", { row("Umlaut", "Ctrl+\xC3\x84xy") },
            { "Ctrl+\xC3\x84xy\t\t\tUmlaut" } },
        LinesCase { "list order, rows without a hot key left out",
            { row("B", "Alt+B"), row("none", ""), row("A", "Shift+Ctrl+F12"), row("", "F3") },
            { "Alt+B\t\t\tB", "Shift+Ctrl+F12\t\tA", "F3\t\t\t" } }),
    [](const auto &info) { return std::to_string(info.index); });

std::vector<std::vector<PrintRun>> runsOf(const std::vector<PrintedPage> &pages)
{
    std::vector<std::vector<PrintRun>> lines;
    for (const auto &page : pages)
        for (const auto &line : page)
            lines.push_back(line.runs);
    return lines;
}

struct PlaceCase
{
    const char *what;
    std::string line;
    int pageWidth;
    std::vector<std::vector<PrintRun>> printed;
};

class LayoutTable : public ::testing::TestWithParam<PlaceCase>
{
};

TEST_P(LayoutTable, PlacesRuns)
{
    const auto &c = GetParam();
    const auto pages = layoutPages({ c.line }, FixedFont(), c.pageWidth, 1000);
    ASSERT_EQ(pages.size(), 1u) << c.what;
    EXPECT_EQ(runsOf(pages), c.printed) << c.what;
}

// Tab stops every 80 units with the fixed font.
INSTANTIATE_TEST_SUITE_P(Lines, LayoutTable,
    ::testing::Values(PlaceCase { "short hot key, three tabs", "F2\t\t\tTwo", 1000,
                          { { { 0, "F2" }, { 240, "Two" } } } },
        PlaceCase { "twelve characters pass the first stop", "Ctrl+Alt+F12\t\tTwelve", 1000,
            { { { 0, "Ctrl+Alt+F12" }, { 240, "Twelve" } } } },
        PlaceCase { "text ending on a stop moves a whole stop", "Ctrl+F12\tX", 1000,
            { { { 0, "Ctrl+F12" }, { 160, "X" } } } },
        PlaceCase {
            "heading", heading, 1000, { { { 0, "HOTKEY      " }, { 240, "MACRO NAME" } } } },
        PlaceCase { "empty line", "", 1000, { {} } },
        PlaceCase { "wider than the page wraps", "F2\t\t\tABCDEFGHIJ", 300,
            { { { 0, "F2" }, { 240, "ABCDEF" } }, { { 0, "GHIJ" } } } },
        PlaceCase { "wraps more than once", std::string(25, 'x'), 100,
            { { { 0, std::string(10, 'x') } }, { { 0, std::string(10, 'x') } },
                { { 0, std::string(5, 'x') } } } },
        PlaceCase { "nothing fits after a tab: text starts the next line", "F2\t\tAB", 165,
            { { { 0, "F2" } }, { { 0, "AB" } } } },
        PlaceCase { "a tab past the edge continues at the left", "F2\t\t\tX", 200,
            { { { 0, "F2" } }, { { 0, "X" } } } },
        PlaceCase { "a character is never split", "\xC3\x84\xC3\x84\xC3\x84", 25,
            { { { 0, "\xC3\x84" } }, { { 0, "\xC3\x84" } }, { { 0, "\xC3\x84" } } } },
        PlaceCase { "page narrower than one character still progresses", "abc", 5,
            { { { 0, "a" } }, { { 0, "b" } }, { { 0, "c" } } } }),
    [](const auto &info) { return std::to_string(info.index); });

// A line that would not fit starts the next page at the top; wrapped parts count as lines.
TEST(PrintLayout, Paging)
{
    const struct
    {
        const char *what;
        std::vector<std::string> lines;
        int width, height;
        std::vector<std::size_t> linesPerPage;
        std::string lastPageStarts;
    } cases[] = {
        { "50 units hold four lines of 12", { "1", "2", "3", "4", "5", "6" }, 1000, 50, { 4, 2 },
            "5" },
        { "two lines of twenty characters on a ten-wide page",
            { std::string(20, 'a'), std::string(20, 'b') }, 100, 24, { 2, 2 },
            std::string(10, 'b') },
        { "a page lower than a line holds one each", { "a", "b", "c" }, 1000, 5, { 1, 1, 1 }, "c" },
        { "the heading alone", printLines({}), 1000, 1000, { 2 }, "HOTKEY      " },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto pages = layoutPages(c.lines, FixedFont(), c.width, c.height);
        std::vector<std::size_t> sizes;
        for (const auto &page : pages) {
            sizes.push_back(page.size());
            for (std::size_t i = 0; i < page.size(); ++i)
                EXPECT_EQ(page[i].y, int(i) * 12);
        }
        ASSERT_EQ(sizes, c.linesPerPage);
        EXPECT_EQ(pages.back().front().runs.at(0).text, c.lastPageStarts);
    }
}

} // namespace
} // namespace quorvel
