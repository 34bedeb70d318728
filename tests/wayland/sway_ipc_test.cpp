// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "fakes/TestSupport.h"
#include "platform/HotKeyRegistrar.h"
#include "platform/wayland/SwayBindings.h"
#include "platform/wayland/SwayIpc.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quorvel::wayland {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(SwayIpcFraming, MessagesSurviveAnySplitOfTheStream)
{
    const std::vector<SwayMessage> sent { { swaymsg::RunCommand, "nop" },
        { swaymsg::GetConfig, "" }, { swaymsg::BindingEvent, std::string(70000, 'x') } };
    std::string stream;
    for (const auto &m : sent)
        stream += encodeSwayMessage(m.type, m.payload);
    ASSERT_EQ(stream.substr(0, 17), "i3-ipc\x03\0\0\0\0\0\0\0nop"s);
    for (const std::size_t chunk :
        { std::size_t(1), std::size_t(5), std::size_t(14), stream.size() }) {
        SwayFrameReader reader;
        std::vector<SwayMessage> got;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.feed(std::string_view(stream).substr(at, chunk));
            while (auto m = reader.next())
                got.push_back(*m);
        }
        ASSERT_EQ(got.size(), sent.size()) << "chunk " << chunk;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(got[i].type, sent[i].type);
            EXPECT_EQ(got[i].payload, sent[i].payload);
        }
    }
}

TEST(SwayIpcFraming, AStreamOutOfStepIsAnError)
{
    for (const std::string &bytes : { "i3-ipx"s, "HTTP/1.1"s,
             encodeSwayMessage(0, "").substr(0, 6) + "\xff\xff\xff\xff\0\0\0\0"s }) {
        SwayFrameReader reader;
        reader.feed(bytes);
        EXPECT_THROW(reader.next(), Error) << bytes;
    }
}

TEST(SwayIpcParsing, RepliesAndEvents)
{
    const auto results = parseCommandResults(
        R"([{"success":true},{"success":false,"parse_error":true,"error":"Unknown key"}])");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].success);
    EXPECT_FALSE(results[1].success);
    EXPECT_EQ(results[1].error, "Unknown key");

    const auto version = parseVersion(
        R"({"human_readable":"1.7","major":1,"loaded_config_file_name":"/etc/sway/config"})");
    EXPECT_EQ(version.humanReadable, "1.7");
    EXPECT_EQ(version.configFile, "/etc/sway/config");
    EXPECT_EQ(parseConfig(R"({"config":"bindsym a exec b\n"})"), "bindsym a exec b\n");
    EXPECT_EQ(parseBindingCommand(
                  R"({"change":"run","binding":{"command":"nop quorvel:7:1","symbol":"q"}})"),
        "nop quorvel:7:1");
    EXPECT_EQ(parseBindingCommand(R"({"change":"other"})"), std::nullopt);
    EXPECT_EQ(parseWorkspaceChange(R"({"change":"reload"})"), "reload");
    for (const char *garbage : { "", "{", "[1]", "\"text\"" })
        EXPECT_THROW(parseCommandResults(garbage), Error) << garbage;
}

// sway's side of a socket pair: answers each request with the frames a script gives.
struct FakeSway
{
    int fds[2] {};
    std::thread peer;
    std::vector<SwayMessage> requests;

    // After the last answer, the bytes of flood are sent floods times.
    explicit FakeSway(
        std::vector<std::vector<SwayMessage>> answers, std::string flood = {}, int floods = 0)
    {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        peer = std::thread([this, answers = std::move(answers), flood = std::move(flood), floods] {
            SwayFrameReader reader;
            char buffer[4096];
            for (const auto &answer : answers) {
                std::optional<SwayMessage> request;
                while (!(request = reader.next())) {
                    const ssize_t n = ::read(fds[1], buffer, sizeof buffer);
                    if (n <= 0)
                        return;
                    reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
                }
                requests.push_back(*request);
                for (const auto &m : answer) {
                    if (!writeAll(encodeSwayMessage(m.type, m.payload)))
                        return;
                }
            }
            for (int i = 0; i < floods && writeAll(flood); ++i) { }
            ::close(fds[1]);
        });
    }
    ~FakeSway() { peer.join(); }

    bool writeAll(std::string_view bytes) const
    {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fds[1], bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
};

TEST(SwayIpcClient, RequestsGetTheirRepliesAndEventsWaitForReadEvents)
{
    const std::string event = R"({"change":"run","binding":{"command":"nop x"}})";
    FakeSway sway(
        { { { swaymsg::BindingEvent, event }, { swaymsg::RunCommand, R"([{"success":true}])" } },
            { { swaymsg::Subscribe, R"({"success":true})" }, { swaymsg::BindingEvent, event } } });
    SwayIpc ipc(sway.fds[0]);
    const auto results = ipc.runCommand("bindsym Ctrl+q nop x");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].success);
    ipc.subscribe(R"(["binding"])");
    std::vector<SwayMessage> events;
    for (int i = 0; i < 200 && events.size() < 2; ++i) {
        for (auto &e : ipc.readEvents())
            events.push_back(e);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].payload, event);
    ASSERT_EQ(sway.requests.size(), 2u);
    EXPECT_EQ(sway.requests[0].type, swaymsg::RunCommand);
    EXPECT_EQ(sway.requests[0].payload, "bindsym Ctrl+q nop x");
    EXPECT_EQ(sway.requests[1].payload, R"(["binding"])");
    // sway went away.
    for (int i = 0; i < 200; ++i) {
        try {
            ipc.readEvents();
        } catch (const Error &) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_THROW(ipc.readEvents(), Error);
    EXPECT_THROW(ipc.version(), Error);
}

TEST(SwayIpcClient, HostileRepliesAreRefusedWithoutBeingTaken)
{
    const struct
    {
        const char *what;
        SwayMessage reply;
        std::function<void(SwayIpc &)> request;
    } cases[] = {
        { "JSON nested 3,000,000 deep",
            { swaymsg::GetVersion, std::string(3'000'000, '[') + std::string(3'000'000, ']') },
            [](SwayIpc &ipc) { ipc.version(); } },
        { "a 60 MB config",
            { swaymsg::GetConfig, R"({"config":")" + std::string(60 << 20, '#') + R"("})" },
            [](SwayIpc &ipc) { ipc.config(); } },
    };
    for (const auto &c : cases) {
        FakeSway sway({ { c.reply } });
        SwayIpc ipc(sway.fds[0]);
        const auto start = Clock::now();
        EXPECT_THROW(c.request(ipc), Error) << c.what;
        EXPECT_LT(Clock::now() - start, 2s) << c.what;
    }
}

TEST(SwayIpcClient, AnEventFloodIsTakenAPieceAtATime)
{
    std::string events;
    for (int i = 0; i < 2000; ++i)
        events += encodeSwayMessage(swaymsg::WorkspaceEvent, R"({"change":"focus"})");
    // 24 MB of events, as fast as the socket takes them.
    FakeSway sway({ { { swaymsg::Subscribe, R"({"success":true})" } } }, events, 400);
    SwayIpc ipc(sway.fds[0]);
    ipc.subscribe(R"(["workspace"])");
    const auto end = Clock::now() + 30s;
    for (bool gone = false; !gone && Clock::now() < end;) {
        const auto start = Clock::now();
        try {
            ipc.readEvents();
        } catch (const Error &) {
            gone = true;
        }
        ASSERT_LT(Clock::now() - start, 200ms);
    }
}

TEST(SwayCombinations, VirtualKeysGetSwayNames)
{
    const struct
    {
        unsigned modifiers;
        KeyCode key;
        const char *combination;
    } cases[] = {
        { hotkeymod::Control | hotkeymod::Alt, 'Q', "Ctrl+Alt+q" },
        { hotkeymod::Shift | hotkeymod::Control | hotkeymod::Alt, '7', "Ctrl+Alt+Shift+7" },
        { hotkeymod::Shift, vk::F1 + 4, "Shift+F5" },
        { 0, vk::F24, "F24" },
        { hotkeymod::Alt, vk::Numpad0 + 3, "Alt+KP_3" },
        { hotkeymod::Control, 0xBA, "Ctrl+semicolon" },
        { hotkeymod::Control, vk::Prior, "Ctrl+Prior" },
        { hotkeymod::Control, 0xFF, "" },
    };
    for (const auto &c : cases) {
        EXPECT_EQ(swayCombination(c.modifiers, c.key), c.combination);
        if (*c.combination) {
            EXPECT_TRUE(parseSwayCombination(c.combination)) << c.combination;
        }
    }
}

TEST(SwayCombinations, ReadAsSwayComparesThem)
{
    const auto ctrlAltQ = parseSwayCombination("Ctrl+Alt+q");
    ASSERT_TRUE(ctrlAltQ);
    EXPECT_EQ(ctrlAltQ->modifiers, 4u | 8u);
    for (const char *same : { "mod1+control+Q", "Alt+CTRL+q" })
        EXPECT_EQ(parseSwayCombination(same), ctrlAltQ) << same;
    EXPECT_EQ(parseSwayCombination("Page_Up"), parseSwayCombination("Prior"));
    EXPECT_NE(parseSwayCombination("Shift+Alt+q"), ctrlAltQ);
    for (const char *none : { "button1", "Ctrl+a+b", "Mod9+x", "Ctrl+", "Ctrl", "" })
        EXPECT_EQ(parseSwayCombination(none), std::nullopt) << none;
}

TEST(SwayConfig, BindingsOfTheDefaultModeWithVariablesBlocksAndIncludes)
{
    const std::string config = R"(# a comment: bindsym Ctrl+c exec x
set $mod Mod4
set $mod2 Ctrl
bindsym $mod+Return exec foot
bindsym --no-repeat --to-code $mod2+Alt+t \
    exec true
bindsym button3 kill
bindsym {
    Ctrl+F1 exec one
    --release Ctrl+F2 exec two
}
mode "resize" {
    bindsym Left resize shrink width 10px
}
input * {
    xkb_layout de
}
include extra.conf
include /missing
)";
    const std::map<std::string, std::string> files {
        { "/cfg/extra.conf", "bindsym $mod+Shift+e exit\n" },
    };
    const auto combos = configuredCombos(config, "/cfg/config", [&](const std::string &path) {
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt : std::optional(it->second);
    });
    std::vector<SwayCombo> expected;
    for (const char *c : { "Mod4+Return", "Ctrl+Alt+t", "Ctrl+F1", "Ctrl+F2", "Mod4+Shift+e" })
        expected.push_back(*parseSwayCombination(c));
    EXPECT_EQ(combos, expected);
}

TEST(SwayConfig, HostileConfigsAreReadOnceAndSubstitutedInOnePass)
{
    // $va is $vb twice, $vb is $vc twice ... each defined before the next.
    std::string chain;
    for (char v = 'a'; v < 'z'; ++v)
        chain += std::string("set $v") + v + " $v" + char(v + 1) + "$v" + char(v + 1) + "\n";
    chain += "set $vz x\nbindsym Ctrl+$va exec x\n";
    const struct
    {
        const char *what;
        std::string config;
        std::map<std::string, std::string> files;
        std::vector<const char *> combos;
    } cases[] = {
        { "a file that includes itself twice", "include loop\n",
            { { "/cfg/loop", "include loop\ninclude ./loop\nbindsym Ctrl+F3 exec x\n" } },
            { "Ctrl+F3" } },
        { "an include of the config itself", "include config\nbindsym Ctrl+F4 exec x\n",
            { { "/cfg/config", "bindsym Ctrl+F5 exec x\n" } }, { "Ctrl+F4" } },
        { "a variable whose value names one defined later",
            "set $key $inner\nset $inner q\nbindsym Ctrl+$key exec x\nbindsym Alt+$inner exec y\n",
            {}, { "Alt+q" } },
        { "25 levels of variables made from each other", chain, {}, {} },
    };
    for (const auto &c : cases) {
        std::map<std::string, int> reads;
        const auto start = Clock::now();
        const auto combos = configuredCombos(c.config, "/cfg/config", [&](const std::string &p) {
            ++reads[p];
            const auto it = c.files.find(p);
            return it == c.files.end() ? std::nullopt : std::optional(it->second);
        });
        EXPECT_LT(Clock::now() - start, 1s) << c.what;
        std::vector<SwayCombo> expected;
        for (const char *combo : c.combos)
            expected.push_back(*parseSwayCombination(combo));
        EXPECT_EQ(combos, expected) << c.what;
        for (const auto &[path, n] : reads)
            EXPECT_EQ(n, 1) << c.what << ": " << path;
    }
}

TEST(SwayConfig, OnlyRegularFilesOfABoundedSizeAreRead)
{
    const testing::TempDir dir;
    testing::writeFile(dir.file("small"), "bindsym Ctrl+F1 exec x\n");
    testing::writeFile(dir.file("large"), std::string(2 << 20, '#'));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("zero"));
    const struct
    {
        std::string name;
        std::optional<std::string> text;
    } cases[] = {
        { "small", "bindsym Ctrl+F1 exec x\n" },
        { "large", std::nullopt },
        { "fifo", std::nullopt },
        { "zero", std::nullopt },
        { "", std::nullopt }, // the folder
        { "missing", std::nullopt },
    };
    for (const auto &c : cases) {
        const auto start = Clock::now();
        EXPECT_EQ(readConfigFile(dir.file(c.name)), c.text) << c.name;
        EXPECT_LT(Clock::now() - start, 1s) << c.name;
    }
}

} // namespace
} // namespace quorvel::wayland
