// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

// A place in the help: a page among the help resources and an anchor on it.
struct HelpPlace
{
    std::string_view page; // file name under HelpBook::ResourceFolder
    std::string_view anchor;

    friend bool operator==(const HelpPlace &, const HelpPlace &) = default;
};

// One entry of the table of contents; level 1 entries sit under the level 0 entry before them.
struct HelpEntry
{
    std::string_view topic;
    std::string_view title;
    HelpPlace place;
    int level = 0;
};

// The help's topics and where they are. Plain data, so the viewer is the only part that
// needs the resources.
class HelpBook
{
public:
    static constexpr std::string_view ResourceFolder = ":/help/";
    static constexpr std::string_view Scheme = "qrc";

    // The table of contents, in reading order. Its first entry is the contents page.
    static std::span<const HelpEntry> contents();
    // The place of a topic, letters compared without case; an unknown topic gives the
    // contents page.
    static HelpPlace find(std::string_view topic);
    static HelpPlace contentsPage();
    // "qrc:/help/page.html#anchor" for a place.
    static std::string url(const HelpPlace &place);
    // The table-of-contents entry for an address the viewer went to ("qrc:/help/x.html#a",
    // "x.html#a" or a page alone, which stands for its first entry).
    static std::optional<std::size_t> entryFor(std::string_view url);
};

} // namespace quorvel
