// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel {

// An INI text held line by line, so that a write keeps every line it does not change
// (order, comments, unknown sections and keys, line endings). Names compare ignoring
// ASCII case; the first of duplicate sections or keys wins, as the platform's reader does.
class IniDocument
{
public:
    IniDocument() = default;
    static IniDocument parse(std::string_view bytes);
    std::string serialize() const;

    std::optional<std::string_view> value(std::string_view section, std::string_view key) const;
    bool hasSection(std::string_view section) const;
    // The highest N of the sections named prefix + N (decimal, no sign or leading zero); 0 for
    // none.
    int highestNumberedSection(std::string_view prefix) const;
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    void eraseSection(std::string_view section);

private:
    struct Line
    {
        std::string raw; // as in the file, without its line ending
        std::string eol; // the line's own ending, kept byte for byte; empty at the very end
        std::string name; // section or key name, trimmed
        std::string value; // key value, trimmed, UTF-8
        enum class Kind { Other, Section, Key } kind = Kind::Other;
    };
    struct SectionIndex
    {
        std::size_t header = 0;
        std::size_t end = 0; // one past the section's last line
        std::unordered_map<std::string, std::size_t> keys; // upper-cased name -> line
    };

    void reindex();
    void insertLines(std::size_t at, std::vector<Line> lines);
    const SectionIndex *findSection(std::string_view section) const;

    std::vector<Line> m_lines;
    std::unordered_map<std::string, SectionIndex> m_sections; // upper-cased name
    std::string m_newLineEnding = "\n"; // for lines the document adds
};

} // namespace quorvel
