// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/TestSupport.h"
#include "shell/HelpBook.h"
#include "shell/HelpViewer.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>

using namespace quorvel;
using quorvel::testing::readFile;

namespace {

const std::filesystem::path HelpFolder =
    std::filesystem::path(QUORVEL_SOURCE_DIR) / "src" / "shell" / "help";

std::set<std::string> matches(const std::string &text, const std::regex &pattern)
{
    std::set<std::string> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        out.insert((*it)[1].str());
    return out;
}

// The pages as the resource file lists them, each with its ids and its anchors' names.
struct Page
{
    std::string text;
    std::set<std::string> ids;
    std::set<std::string> names;
};

std::map<std::string, Page> loadPages()
{
    const auto qrc = readFile((HelpFolder / "help.qrc").string());
    std::map<std::string, Page> pages;
    for (const auto &file : matches(qrc, std::regex("<file>([^<]+)</file>"))) {
        Page page;
        page.text = readFile((HelpFolder / file).string());
        page.ids = matches(page.text, std::regex(R"re(\sid="([^"]*)")re"));
        page.names = matches(page.text, std::regex(R"re(<a\s[^>]*name="([^"]*)")re"));
        pages.emplace(file, std::move(page));
    }
    return pages;
}

class HelpPages : public ::testing::Test
{
protected:
    std::map<std::string, Page> pages = loadPages();
};

TEST_F(HelpPages, ResourceFileListsEveryPageInTheFolder)
{
    std::set<std::string> onDisk;
    for (const auto &entry : std::filesystem::directory_iterator(HelpFolder)) {
        if (entry.path().extension() == ".html")
            onDisk.insert(entry.path().filename().string());
    }
    std::set<std::string> listed;
    for (const auto &[file, page] : pages) {
        listed.insert(file);
        EXPECT_FALSE(page.text.empty()) << file << " is missing or empty";
    }
    EXPECT_EQ(listed, onDisk);
}

TEST_F(HelpPages, EveryTopicResolvesToAnAnchorTheViewerCanScrollTo)
{
    for (const auto &entry : HelpBook::contents()) {
        SCOPED_TRACE(std::string(entry.topic));
        const auto page = pages.find(std::string(entry.place.page));
        ASSERT_NE(page, pages.end()) << "page not in the resources";
        // The id is the anchor's name in HTML; the viewer scrolls by the anchor's name.
        EXPECT_TRUE(page->second.ids.count(std::string(entry.place.anchor)));
        EXPECT_TRUE(page->second.names.count(std::string(entry.place.anchor)));
        EXPECT_EQ(HelpBook::find(entry.topic), entry.place);
    }
}

TEST_F(HelpPages, EveryIdIsAlsoAnAnchorName)
{
    for (const auto &[file, page] : pages)
        EXPECT_EQ(page.ids, page.names) << file;
}

TEST_F(HelpPages, EveryInternalLinkArrives)
{
    const std::regex href(R"re(href="([^"]*)")re");
    int links = 0;
    for (const auto &[file, page] : pages) {
        for (const auto &link : matches(page.text, href)) {
            SCOPED_TRACE(file + " -> " + link);
            ASSERT_EQ(link.find(':'), std::string::npos) << "the help links only to itself";
            const auto hash = link.find('#');
            const auto target = hash == 0 ? file : link.substr(0, hash);
            const auto other = pages.find(target);
            ASSERT_NE(other, pages.end());
            if (hash != std::string::npos) {
                EXPECT_TRUE(other->second.names.count(link.substr(hash + 1)));
            }
            ++links;
        }
    }
    EXPECT_GT(links, 50);
}

TEST_F(HelpPages, ContentsPageLinksToEveryEntryOfTheTable)
{
    const auto &contents = pages.at(std::string(HelpBook::contentsPage().page)).text;
    for (const auto &entry : HelpBook::contents().subspan(1)) {
        const auto link = "href=\"" + std::string(entry.place.page) + "#"
            + std::string(entry.place.anchor) + "\"";
        EXPECT_NE(contents.find(link), std::string::npos) << link;
    }
}

TEST_F(HelpPages, LanguagePageExplainsEveryToken)
{
    const auto &text = pages.at(std::string(HelpBook::find("Language").page)).text;
    const char *tokens[] = { "CTRL&gt;&gt;", "ALT&gt;&gt;", "SHIFT&gt;&gt;", "CTRL+ALT&gt;&gt;",
        "CTRL+SHIFT&gt;&gt;", "SHIFT+ALT&gt;&gt;", "ENTER&gt;&gt;", "F1&gt;&gt;", "F12&gt;&gt;",
        "TAB&gt;&gt;", "BACKSPACE&gt;&gt;", "INSERT&gt;&gt;", "DELETE&gt;&gt;", "HOME&gt;&gt;",
        "END&gt;&gt;", "PAGEUP&gt;&gt;", "PAGEDOWN&gt;&gt;", "PRINTSCREEN&gt;&gt;", "UP&gt;&gt;",
        "DOWN&gt;&gt;", "LEFT&gt;&gt;", "RIGHT&gt;&gt;", "ESC&gt;&gt;", "SECS", "MINS", "REP",
        "ENDREP&gt;&gt;", "SHORTDATE&gt;&gt;", "LONGDATE&gt;&gt;", "SHORTTIME&gt;&gt;",
        "LONGTIME&gt;&gt;", "INPUT:", "WRITEVALUE&gt;&gt;",
        "RUN:", "LOOKFOR:", "FOCUS:", "EXECUTE:" };
    for (const char *token : tokens)
        EXPECT_NE(text.find(std::string("<code>&lt;&lt;") + token), std::string::npos) << token;
    for (const char *unit : { "<code>~~SECS:", "<code>~~MINS:" })
        EXPECT_NE(text.find(unit), std::string::npos) << unit;
}

struct TopicCase
{
    std::string_view topic;
    std::string_view page;
    std::string_view anchor;
};

class HelpTopics : public ::testing::TestWithParam<TopicCase>
{
};

TEST_P(HelpTopics, FindsThePlaceOrTheContents)
{
    const auto &c = GetParam();
    EXPECT_EQ(HelpBook::find(c.topic), (HelpPlace { c.page, c.anchor }));
}

INSTANTIATE_TEST_SUITE_P(Topics, HelpTopics,
    ::testing::Values(TopicCase { help::Operation, "quorvel.html", "Operation" },
        TopicCase { help::Faq, "faq.html", "FAQ" },
        TopicCase { "operation", "quorvel.html", "Operation" },
        TopicCase { "faq", "faq.html", "FAQ" }, TopicCase { "REPEAT", "language.html", "Repeat" },
        TopicCase { "", "contents.html", "Contents" },
        TopicCase { "Operation ", "contents.html", "Contents" },
        TopicCase { "Quorvel.hlp", "contents.html", "Contents" },
        // An anchor that is not a topic of the table is no topic.
        TopicCase { "StopReplay", "contents.html", "Contents" }));

TEST(HelpBookUrls, AreResourceAddressesWithTheAnchor)
{
    EXPECT_EQ(HelpBook::url(HelpBook::find(help::Operation)), "qrc:/help/quorvel.html#Operation");
    EXPECT_EQ(HelpBook::url({ "faq.html", "" }), "qrc:/help/faq.html");
}

struct EntryCase
{
    std::string_view url;
    std::optional<std::string_view> topic;
};

class HelpEntries : public ::testing::TestWithParam<EntryCase>
{
};

TEST_P(HelpEntries, FollowWhereTheViewerWent)
{
    const auto &c = GetParam();
    const auto entry = HelpBook::entryFor(c.url);
    ASSERT_EQ(entry.has_value(), c.topic.has_value());
    if (entry) {
        EXPECT_EQ(HelpBook::contents()[*entry].topic, *c.topic);
    }
}

INSTANTIATE_TEST_SUITE_P(Urls, HelpEntries,
    ::testing::Values(EntryCase { "qrc:/help/language.html#Repeat", "Repeat" },
        EntryCase { ":/help/language.html#Repeat", "Repeat" },
        EntryCase { "triggers.html#Triggers", "Triggers" },
        // A question of the FAQ without an entry of its own stays with the FAQ.
        EntryCase { "qrc:/help/faq.html#StopReplay", "FAQ" },
        EntryCase { "qrc:/help/faq.html", "FAQ" },
        EntryCase { "qrc:/help/quorvel.html", "Operation" },
        EntryCase { "qrc:/help/elsewhere.html#Repeat", std::nullopt },
        EntryCase { "", std::nullopt }));

TEST(HelpEntriesRoundTrip, EveryEntryIsFoundAtItsOwnAddress)
{
    const auto entries = HelpBook::contents();
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(HelpBook::entryFor(HelpBook::url(entries[i].place)), i) << entries[i].topic;
}

} // namespace
