// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/PrintList.h"

#include <algorithm>
#include <cstddef>

namespace quorvel {

namespace {

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t characterCount(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !isContinuationByte(c); }));
}

// The end of the character that starts at `at`.
std::size_t nextCharacter(std::string_view text, std::size_t at)
{
    ++at;
    while (at < text.size() && isContinuationByte(text[at]))
        ++at;
    return at;
}

class Placer
{
public:
    Placer(const FontMetric &font, int pageWidth, int pageHeight)
        : m_font(font)
        , m_pageWidth(std::max(pageWidth, 1))
        , m_pageHeight(pageHeight)
        , m_tabStop(std::max(font.averageCharWidth() * printing::TabStopChars, 1))
        , m_lineHeight(std::max(font.lineHeight(), 1))
    {
    }

    void writeLine(std::string_view line)
    {
        startLine();
        std::size_t from = 0;
        while (from <= line.size()) {
            const auto tab = std::min(line.find('\t', from), line.size());
            writeText(line.substr(from, tab - from));
            if (tab == line.size())
                break;
            m_x = (m_x / m_tabStop + 1) * m_tabStop;
            if (m_x >= m_pageWidth)
                continueLine();
            from = tab + 1;
        }
    }

    std::vector<PrintedPage> pages() && { return std::move(m_pages); }

private:
    void writeText(std::string_view text)
    {
        while (!text.empty()) {
            auto fits = fittingPrefix(text);
            if (fits == 0 && m_x > 0) {
                continueLine();
                continue;
            }
            // A character wider than the page still goes on a line of its own.
            if (fits == 0)
                fits = nextCharacter(text, 0);
            place(text.substr(0, fits));
            text.remove_prefix(fits);
            if (!text.empty())
                continueLine();
        }
    }

    // How many bytes of whole characters fit between the position and the page's edge.
    std::size_t fittingPrefix(std::string_view text) const
    {
        const int room = m_pageWidth - m_x;
        if (m_font.textWidth(text) <= room)
            return text.size();
        std::size_t fits = 0;
        for (std::size_t end = nextCharacter(text, 0); end <= text.size();
             end = nextCharacter(text, end)) {
            if (m_font.textWidth(text.substr(0, end)) > room)
                break;
            fits = end;
            if (end == text.size())
                break;
        }
        return fits;
    }

    void place(std::string_view text)
    {
        m_pages.back().back().runs.push_back({ m_x, std::string(text) });
        m_x += m_font.textWidth(text);
    }

    void startLine()
    {
        m_x = 0;
        if (m_pages.empty()) {
            m_pages.emplace_back();
            m_y = 0;
        } else {
            m_y += m_lineHeight;
            if (m_y + m_lineHeight > m_pageHeight) {
                m_pages.emplace_back();
                m_y = 0;
            }
        }
        m_pages.back().push_back({ m_y, {} });
    }

    void continueLine() { startLine(); }

    const FontMetric &m_font;
    int m_pageWidth;
    int m_pageHeight;
    int m_tabStop;
    int m_lineHeight;
    int m_x = 0;
    int m_y = 0;
    std::vector<PrintedPage> m_pages;
};

} // namespace

std::vector<std::string> printLines(const std::vector<MacroListRow> &rows)
{
    std::vector<std::string> lines { printing::Heading, printing::Rule };
    for (const auto &row : rows) {
        if (row.hotKeyText.empty())
            continue;
        const bool shortText =
            characterCount(row.hotKeyText) <= static_cast<std::size_t>(printing::ShortHotKeyChars);
        lines.push_back(row.hotKeyText + (shortText ? "\t\t\t" : "\t\t") + row.caption);
    }
    return lines;
}

std::vector<PrintedPage> layoutPages(
    const std::vector<std::string> &lines, const FontMetric &font, int pageWidth, int pageHeight)
{
    Placer placer(font, pageWidth, pageHeight);
    for (const auto &line : lines)
        placer.writeLine(line);
    return std::move(placer).pages();
}

} // namespace quorvel
