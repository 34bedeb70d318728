// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/HelpBook.h"

#include <array>

namespace quorvel {

namespace {

constexpr std::string_view Quorvel = "quorvel.html";
constexpr std::string_view Language = "language.html";
constexpr std::string_view Triggers = "triggers.html";
constexpr std::string_view CommandLine = "commandline.html";
constexpr std::string_view Files = "files.html";

// Topics are the anchors' names, so a link in a page and a topic asked for by a window meet
// at the same place.
constexpr auto Entries = std::to_array<HelpEntry>({
    { "Contents", "Contents", { "contents.html", "Contents" }, 0 },
    { "Operation", "Operating Quorvel", { Quorvel, "Operation" }, 0 },
    { "Kinds", "The four kinds of macro", { Quorvel, "Kinds" }, 1 },
    { "MainWindow", "The main window", { Quorvel, "MainWindow" }, 1 },
    { "Wizard", "Creating a macro", { Quorvel, "Wizard" }, 1 },
    { "Recording", "Recording", { Quorvel, "Recording" }, 1 },
    { "Properties", "Changing a macro", { Quorvel, "Properties" }, 1 },
    { "Deleting", "Deleting a macro", { Quorvel, "Deleting" }, 1 },
    { "Tray", "The tray icon", { Quorvel, "Tray" }, 1 },
    { "Stopping", "Stopping a replay", { Quorvel, "Stopping" }, 1 },
    { "Language", "The advanced macro language", { Language, "Language" }, 0 },
    { "Keys", "Special keys", { Language, "Keys" }, 1 },
    { "Modifiers", "Ctrl, Alt and Shift", { Language, "Modifiers" }, 1 },
    { "Waits", "Waiting", { Language, "Waits" }, 1 },
    { "Repeat", "Repeating", { Language, "Repeat" }, 1 },
    { "Input", "Asking for a value", { Language, "Input" }, 1 },
    { "Run", "Running another macro", { Language, "Run" }, 1 },
    { "Windows", "Waiting for windows", { Language, "Windows" }, 1 },
    { "Execute", "Starting programs", { Language, "Execute" }, 1 },
    { "DateTime", "Date and time", { Language, "DateTime" }, 1 },
    { "Checking", "Checking a macro and the dry run", { Language, "Checking" }, 1 },
    { "HotKeys", "Hot keys", { Triggers, "HotKeys" }, 0 },
    { "UsableKeys", "Keys you can use", { Triggers, "UsableKeys" }, 1 },
    { "HotKeyConflicts", "Who holds a hot key", { Triggers, "HotKeyConflicts" }, 1 },
    { "HotKeyRules", "When hot keys do nothing", { Triggers, "HotKeyRules" }, 1 },
    { "Triggers", "Window triggers", { Triggers, "Triggers" }, 0 },
    { "CommandLine", "The command line", { CommandLine, "CommandLine" }, 0 },
    { "Shortcuts", "Shortcuts", { CommandLine, "Shortcuts" }, 0 },
    { "Tools", "quorvelctl", { CommandLine, "Tools" }, 0 },
    { "Files", "Where files are kept", { Files, "Files" }, 0 },
    { "Settings", "Settings", { Files, "Settings" }, 1 },
    { "FromWindows", "Moving from Windows", { Files, "FromWindows" }, 1 },
    { "Desktops", "Where Quorvel works", { "desktops.html", "Desktops" }, 0 },
    { "EveryCharacter", "Characters the layout lacks", { "desktops.html", "EveryCharacter" }, 1 },
    { "DesktopShortcutKeys", "A desktop's own keys", { "desktops.html", "DesktopShortcutKeys" },
        1 },
    { "FAQ", "Frequently asked questions", { "faq.html", "FAQ" }, 0 },
    { "HotKeyNothing", "A hot key does nothing", { "faq.html", "HotKeyNothing" }, 1 },
    { "NoTrayIcon", "No tray icon", { "faq.html", "NoTrayIcon" }, 1 },
});

bool sameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

bool dropPrefix(std::string_view &text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

} // namespace

std::span<const HelpEntry> HelpBook::contents()
{
    return Entries;
}

HelpPlace HelpBook::contentsPage()
{
    return Entries.front().place;
}

HelpPlace HelpBook::find(std::string_view topic)
{
    for (const auto &entry : Entries) {
        if (sameLetters(entry.topic, topic))
            return entry.place;
    }
    return contentsPage();
}

std::string HelpBook::url(const HelpPlace &place)
{
    std::string out(Scheme);
    out += ':';
    out += ResourceFolder.substr(1);
    out += place.page;
    if (!place.anchor.empty()) {
        out += '#';
        out += place.anchor;
    }
    return out;
}

std::optional<std::size_t> HelpBook::entryFor(std::string_view url)
{
    if (dropPrefix(url, Scheme))
        dropPrefix(url, ":");
    if (!dropPrefix(url, ResourceFolder))
        dropPrefix(url, ResourceFolder.substr(1));
    const auto hash = url.find('#');
    const auto page = url.substr(0, hash);
    const auto anchor = hash == std::string_view::npos ? std::string_view() : url.substr(hash + 1);
    std::optional<std::size_t> first;
    for (std::size_t i = 0; i < Entries.size(); ++i) {
        if (Entries[i].place.page != page)
            continue;
        if (Entries[i].place.anchor == anchor)
            return i;
        if (!first)
            first = i;
    }
    return first;
}

} // namespace quorvel
