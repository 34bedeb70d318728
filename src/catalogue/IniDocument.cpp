// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/IniDocument.h"

#include "common/Text.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace quorvel {

namespace {
std::string_view trimBlanks(std::string_view s)
{
    // The platform service trims blanks and tabs around names and values.
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

// Line breaks in a value would split the line; NULs would end it early.
std::string sanitiseValue(std::string_view value)
{
    std::string out(value);
    for (auto &c : out) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return std::string(trimBlanks(out));
}
} // namespace

IniDocument IniDocument::parse(std::string_view bytes)
{
    IniDocument doc;
    bool endingChosen = false;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto brk = std::min(bytes.find_first_of("\r\n", pos), bytes.size());
        std::string_view raw = bytes.substr(pos, brk - pos);
        // A run of CRs with or without an LF is one line ending (CR LF, lone CR, CR CR LF).
        std::size_t end = brk;
        while (end < bytes.size() && bytes[end] == '\r')
            ++end;
        if (end < bytes.size() && bytes[end] == '\n')
            ++end;
        pos = end;

        Line line;
        line.raw = std::string(raw);
        line.eol = std::string(bytes.substr(brk, end - brk));
        if (!endingChosen && !line.eol.empty()) {
            endingChosen = true;
            if (line.eol.back() == '\r')
                doc.m_newLineEnding.assign(1, '\r');
            else if (line.eol.size() > 1)
                doc.m_newLineEnding = "\r\n";
        }
        const auto content = trimBlanks(raw);
        if (!content.empty() && content.front() == '[') {
            const auto close = content.find(']');
            if (close != std::string_view::npos) {
                line.kind = Line::Kind::Section;
                line.name = text::toUtf8(trimBlanks(content.substr(1, close - 1)));
            }
        } else if (!content.empty() && content.front() != ';') {
            const auto eq = content.find('=');
            if (eq != std::string_view::npos) {
                line.kind = Line::Kind::Key;
                line.name = text::toUtf8(trimBlanks(content.substr(0, eq)));
                line.value = text::toUtf8(trimBlanks(content.substr(eq + 1)));
            }
        }
        doc.m_lines.push_back(std::move(line));
    }
    doc.reindex();
    return doc;
}

std::string IniDocument::serialize() const
{
    std::string out;
    std::size_t size = 0;
    for (const auto &line : m_lines)
        size += line.raw.size() + line.eol.size();
    out.reserve(size);
    for (const auto &line : m_lines) {
        out += line.raw;
        out += line.eol;
    }
    return out;
}

void IniDocument::insertLines(std::size_t at, std::vector<Line> lines)
{
    // Only the file's last line can lack an ending; it needs one before anything follows it.
    if (at > 0 && m_lines[at - 1].eol.empty())
        m_lines[at - 1].eol = m_newLineEnding;
    for (auto &line : lines)
        line.eol = m_newLineEnding;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
        std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    reindex();
}

void IniDocument::reindex()
{
    m_sections.clear();
    SectionIndex *current = nullptr;
    bool currentIsDuplicate = false;
    SectionIndex scratch;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto &line = m_lines[i];
        if (line.kind == Line::Kind::Section) {
            if (current)
                current->end = i;
            auto key = text::upperAscii(line.name);
            auto [it, inserted] = m_sections.try_emplace(std::move(key));
            // A repeated section header is ignored for reads, as the platform's reader does.
            currentIsDuplicate = !inserted;
            if (currentIsDuplicate) {
                scratch = SectionIndex {};
                current = &scratch;
            } else {
                current = &it->second;
            }
            current->header = i;
        } else if (line.kind == Line::Kind::Key && current) {
            current->keys.try_emplace(text::upperAscii(line.name), i);
        }
    }
    if (current)
        current->end = m_lines.size();
}

const IniDocument::SectionIndex *IniDocument::findSection(std::string_view section) const
{
    const auto it = m_sections.find(text::upperAscii(section));
    return it == m_sections.end() ? nullptr : &it->second;
}

std::optional<std::string_view> IniDocument::value(
    std::string_view section, std::string_view key) const
{
    const auto *s = findSection(section);
    if (!s)
        return std::nullopt;
    const auto it = s->keys.find(text::upperAscii(key));
    if (it == s->keys.end())
        return std::nullopt;
    return std::string_view(m_lines[it->second].value);
}

bool IniDocument::hasSection(std::string_view section) const
{
    return findSection(section) != nullptr;
}

int IniDocument::highestNumberedSection(std::string_view prefix) const
{
    const std::string upper = text::upperAscii(prefix);
    long long highest = 0;
    for (const auto &[name, index] : m_sections) {
        if (name.size() <= upper.size() || name.size() > upper.size() + 10
            || name.compare(0, upper.size(), upper) != 0 || name[upper.size()] == '0')
            continue;
        long long n = 0;
        bool digits = true;
        for (std::size_t i = upper.size(); i < name.size() && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9';
            n = n * 10 + (name[i] - '0');
        }
        if (digits && n <= std::numeric_limits<int>::max())
            highest = std::max(highest, n);
    }
    return static_cast<int>(highest);
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string clean = sanitiseValue(value);
    const std::string cleanKey = sanitiseValue(key);
    auto *s = const_cast<SectionIndex *>(findSection(section));
    if (s) {
        const auto it = s->keys.find(text::upperAscii(cleanKey));
        if (it != s->keys.end()) {
            auto &line = m_lines[it->second];
            line.raw = line.name + "=" + clean;
            line.value = clean;
            return;
        }
        // New keys go after the section's last key line, before trailing blanks and comments.
        std::size_t at = s->header + 1;
        for (std::size_t i = s->header + 1; i < s->end; ++i) {
            if (m_lines[i].kind == Line::Kind::Key)
                at = i + 1;
        }
        Line line;
        line.kind = Line::Kind::Key;
        line.name = cleanKey;
        line.value = clean;
        line.raw = cleanKey + "=" + clean;
        std::vector<Line> added;
        added.push_back(std::move(line));
        insertLines(at, std::move(added));
        return;
    }
    std::vector<Line> added(2);
    added[0].kind = Line::Kind::Section;
    added[0].name = sanitiseValue(section);
    added[0].raw = "[" + added[0].name + "]";
    added[1].kind = Line::Kind::Key;
    added[1].name = cleanKey;
    added[1].value = clean;
    added[1].raw = cleanKey + "=" + clean;
    insertLines(m_lines.size(), std::move(added));
}

void IniDocument::eraseSection(std::string_view section)
{
    const auto upper = text::upperAscii(section);
    bool erased = false;
    // Every header of that name goes, with its lines, so no stale duplicate resurfaces.
    for (std::size_t i = 0; i < m_lines.size();) {
        if (m_lines[i].kind == Line::Kind::Section && text::upperAscii(m_lines[i].name) == upper) {
            std::size_t end = i + 1;
            while (end < m_lines.size() && m_lines[end].kind != Line::Kind::Section)
                ++end;
            m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(i),
                m_lines.begin() + static_cast<std::ptrdiff_t>(end));
            erased = true;
        } else {
            ++i;
        }
    }
    if (erased)
        reindex();
}

} // namespace quorvel
