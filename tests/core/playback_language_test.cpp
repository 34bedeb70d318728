// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "common/Text.h"
#include "playback_rig.h"

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::testing::CaseNamer;
using quorvel::testing::PlaybackRig;

namespace {

struct TypingCase
{
    const char *text;
    const char *typed;
};

void PrintTo(const TypingCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.text, os);
}

class Typing : public ::testing::TestWithParam<TypingCase>
{
};

TEST_P(Typing, TypesWhatTheTextSays)
{
    PlaybackRig rig;
    rig.runner.SendKeys(std::string_view(GetParam().text));
    EXPECT_EQ(rig.keys.typed(), GetParam().typed) << GetParam().text;
    EXPECT_TRUE(rig.launcher.calls.empty());
    EXPECT_FALSE(rig.runner.SendKey1().TokensOnly());
}

INSTANTIATE_TEST_SUITE_P(Language, Typing,
    ::testing::Values(TypingCase { "abc", "abc" }, TypingCase { "^@~{}", "^@~{}" },
        TypingCase { "  \t\r\n  ", "" }, TypingCase { "ab\r\ncd\r\n", "ab{ENTER}^{ENTER}cd" },
        TypingCase { "<<enter>><<Enter>>", "{ENTER}{ENTER}" },
        TypingCase { "<<FOO>>bar", "FOO>>bar" }, TypingCase { "<<", "" }, TypingCase { "<<<", "<" },
        TypingCase { "<<ENDREP>>", "ENDREP>>" }, TypingCase { "<<CTRL>>c", "^c" },
        TypingCase { "<<ALT>>f", "@f" }, TypingCase { "<<SHIFT>>a", "A" },
        TypingCase { "<<CTRL+SHIFT>>s", "^S" }, TypingCase { "<<CTRL+ALT>>d", "^@d" },
        TypingCase { "<<CTRL>><<F4>>", "^{F4}" },
        TypingCase { "<<ALT>><<PRINTSCREEN>>", "@{PRTSC}" },
        TypingCase { "<<SHIFT+ALT>><<ENTER>>", "@~{ENTER}" },
        TypingCase { "<<SHIFT>><<BACKSPACE>>", "~{BKSP}" },
        TypingCase { "<<CTRL>><<SECS5>>", "SECS5>>" }, TypingCase { "<<CTRL>><<ALT>>x", "ALT>>x" },
        TypingCase { "<<CTRL>><<esc>>", "^{ESC}" }, TypingCase { "<<F1>>x", "{F1}x" },
        TypingCase { "<<F10>><<F11>><<F12>>", "{F10}{F11}{F12}" },
        TypingCase { "<<TAB>><<BACKSPACE>><<INSERT>><<DELETE>><<HOME>><<END>><<PAGEUP>>"
                     "<<PAGEDOWN>><<PRINTSCREEN>><<UP>><<DOWN>><<LEFT>><<RIGHT>><<ESC>>",
            "{TAB}{BKSP}{INSERT}{DELETE}{HOME}{END}{PGUP}{PGDN}{PRTSC}{UP}{DOWN}{LEFT}"
            "{RIGHT}{ESC}" },
        TypingCase { "<<REP3>>ab<<ENDREP>>c", "abababc" },
        TypingCase { "<<REP2>> x <<ENDREP>>", "xx" }, TypingCase { "<<rep2>>x<<ENDREP>>", "xx" },
        TypingCase { "<<REP0>>ab<<ENDREP>>c", "c" }, TypingCase { "<<REP-1>>ab<<ENDREP>>c", "c" },
        TypingCase { "<<REP2>>a<<REP2>>b<<ENDREP>>c<<ENDREP>>", "aacENDREP>>" },
        TypingCase { "<<REP2>>abcdefghijk", "ghijk" },
        TypingCase { "<<REP2>>x<<endrep>>y", "rep>>y" },
        TypingCase { "<<REP1>>a<<REP1>>b<<ENDREP>>c", "ac" },
        TypingCase { "<<REP1>>ab<<REP1>>cd<<REP1>>ef<<REP1>>gh", "P1>>cdP1>>gh" },
        TypingCase { "<<FOCUS:a>x<<FOCUS:b>y<<FOCUS:c>>z", "z" },
        TypingCase { "<<SHORTDATE>> <<LONGDATE>>", "12/7/2026 Monday, December 7, 2026" },
        TypingCase { "<<SHORTTIME>>|<<LONGTIME>>", "9:05 PM|9:05:03 PM" },
        TypingCase { "<<WRITEVALUE>>x", "x" }, TypingCase { "<<FOCUS:Calc>junk>>x", "x" },
        TypingCase { "<<LOOKFOR:Calc~~>>x", ">>x" }, TypingCase { "<<INPUT:abc", "bc" },
        TypingCase { "caf\xC3\xA9 \xE9\x80", "caf\xC3\xA9 \xC3\xA9\xE2\x82\xAC" }),
    CaseNamer<&TypingCase::text> {});

TEST(Language, ModifierAtTheEndStaysPendingForTheNextSend)
{
    PlaybackRig rig;
    rig.runner.SendKeys(std::string_view("<<ALT>>"));
    EXPECT_TRUE(rig.keys.events.empty());
    EXPECT_EQ(rig.runner.SendKey1().pendingModifiers(), 1u);
    rig.runner.SendKeys(std::string_view("x"));
    EXPECT_EQ(rig.keys.trace(), "down 12, down 58, up 58, up 12");
}

struct DeliveryCase
{
    std::string text;
    int deliveries; // flushes, each followed by a pump pass
};

void PrintTo(const DeliveryCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.text.substr(0, 40).c_str(), os);
}

class Delivery : public ::testing::TestWithParam<DeliveryCase>
{
};

// Plain characters and key tokens go out in batches, never waiting behind a command nor left
// behind at the end.
TEST_P(Delivery, CharactersGoOutInBatchesAndBeforeEveryCommand)
{
    PlaybackRig rig;
    rig.pump.onSleep = [&](int) {
        EXPECT_EQ(rig.keys.eventsAtLastFlush, rig.keys.events.size()) << "keys held back a wait";
    };
    const auto onProcess = rig.pump.onProcess;
    rig.pump.onProcess = [&] {
        EXPECT_EQ(rig.keys.eventsAtLastFlush, rig.keys.events.size());
        onProcess();
    };
    rig.runner.SendKeys(std::string_view(GetParam().text));
    EXPECT_EQ(rig.keys.eventsAtLastFlush, rig.keys.events.size()) << "keys left behind";
    EXPECT_EQ(rig.keys.flushes, GetParam().deliveries);
    EXPECT_EQ(rig.pump.passes - rig.ticks, GetParam().deliveries);
}

INSTANTIATE_TEST_SUITE_P(Language, Delivery,
    ::testing::Values(DeliveryCase { "ab<<ENTER>>", 1 }, DeliveryCase { "ab<<ENTER>>cd", 1 },
        DeliveryCase { std::string(32, 'x'), 1 }, DeliveryCase { std::string(33, 'x'), 2 },
        DeliveryCase { std::string(64, 'x') + "<<ENTER>>", 3 },
        DeliveryCase { "~@^" + std::string(29, 'x'), 1 }, DeliveryCase { "<<ENTER>><<TAB>>", 1 },
        DeliveryCase { "a<<SECS1>>b", 2 }));

// The sink hears of the text ahead, so it can bind keys for many characters at once: from the
// start, after every command (which may have typed text of its own), and again before the
// window it was given runs out.
TEST(Language, TheSinkHearsOfTheTextAhead)
{
    PlaybackRig rig;
    rig.runner.SendKeys(std::string_view("  ab<<ENTER>>cd<<TAB>>  "));
    EXPECT_EQ(
        rig.keys.expected, (std::vector<std::u32string> { U"ab<<ENTER>>cd<<TAB>>", U"cd<<TAB>>" }));

    rig.keys.clear();
    std::string text;
    for (int i = 0; text.size() < 1000; ++i)
        text += std::to_string(i) + ".";
    rig.runner.SendKeys(std::string_view(text));
    ASSERT_GE(rig.keys.expected.size(), 2u);
    std::size_t offset = 0;
    for (const std::u32string &window : rig.keys.expected) {
        // Each window is the text from where typing stands, never less than what follows.
        const std::size_t at = text.find(text::encode(window.substr(0, 64)), offset);
        ASSERT_NE(at, std::string::npos);
        EXPECT_GE(window.size(), std::min<std::size_t>(256, text.size() - at));
        offset = at;
    }
    EXPECT_EQ(rig.keys.typed(), text);
}

TEST(Language, TextAfterAModifierAndKeyIsCutAt10000Characters)
{
    struct Case
    {
        std::string text;
        std::string typed;
    };
    const std::string many(20000, 'a');
    const Case cases[] = {
        { "<<CTRL>><<F4>>" + many, "^{F4}" + std::string(10000 - 6, 'a') },
        { "<<CTRL>><<SECS5>>" + many, "SECS5>>" + std::string(10000 - 9, 'a') },
        { "<<CTRL>>x" + many, "^x" + many },
    };
    for (const auto &c : cases) {
        PlaybackRig rig;
        rig.runner.SendKeys(std::string_view(c.text));
        EXPECT_EQ(rig.keys.typed(), c.typed) << c.text.substr(0, 20);
    }
}

TEST(Language, TokenTableOrderDoesNotTakeF10ForF1)
{
    PlaybackRig rig;
    const std::u32string text = U"<<F10>>rest";
    const auto rest = rig.runner.interpreter().InterpretToken(text);
    EXPECT_EQ(rest, U"rest");
    EXPECT_EQ(rig.keys.typed(), "{F10}");
}

// The 46 tokens in their recognition order. One character short, none is recognised: its
// "<<" goes and the rest is typed, so no row matches on a shorter prefix than its own text.
TEST(Language, EveryTokenNeedsItsWholeText)
{
    const char *const tokens[] = { "<<CTRL>>", "<<ALT>>", "<<SHIFT>>", "<<CTRL+ALT>>",
        "<<CTRL+SHIFT>>", "<<SHIFT+ALT>>", "<<ENTER>>", "<<F1>>", "<<F2>>", "<<F3>>", "<<F4>>",
        "<<F5>>", "<<F6>>", "<<F7>>", "<<F8>>", "<<F9>>", "<<F10>>", "<<F11>>", "<<F12>>",
        "<<TAB>>", "<<BACKSPACE>>", "<<INSERT>>", "<<DELETE>>", "<<HOME>>", "<<END>>", "<<PAGEUP>>",
        "<<PAGEDOWN>>", "<<PRINTSCREEN>>", "<<UP>>", "<<DOWN>>", "<<LEFT>>", "<<RIGHT>>", "<<ESC>>",
        "<<SECS", "<<MINS", "<<REP", "<<SHORTDATE>>", "<<LONGDATE>>", "<<SHORTTIME>>",
        "<<LONGTIME>>", "<<INPUT:", "<<WRITEVALUE>>",
        "<<RUN:", "<<LOOKFOR:", "<<FOCUS:", "<<EXECUTE:" };
    static_assert(std::size(tokens) == 46);
    for (const std::string token : tokens) {
        const std::string shorter = token.substr(0, token.size() - 1);
        PlaybackRig rig;
        rig.runner.SendKeys(std::string_view(shorter));
        EXPECT_EQ(rig.keys.typed(), shorter.substr(2)) << shorter;
        EXPECT_TRUE(rig.observer.log.empty()) << shorter;
        EXPECT_TRUE(rig.timers.log.empty()) << shorter;
        EXPECT_TRUE(rig.prompt.prompts.empty()) << shorter;
        EXPECT_TRUE(rig.launcher.calls.empty()) << shorter;
        EXPECT_EQ(rig.windows.enumerations, 0) << shorter;
    }
}

struct WaitCase
{
    const char *text;
    int ticks;
    int interval;
};

void PrintTo(const WaitCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.text, os);
}

class TimedWaits : public ::testing::TestWithParam<WaitCase>
{
};

TEST_P(TimedWaits, CountTicksWithTheScanOff)
{
    PlaybackRig rig;
    rig.timers.scanEnabled = false; // enabled afterwards whatever it was
    bool scanOffWhileWaiting = true;
    rig.pump.onProcess = [&, base = rig.pump.onProcess] {
        if (rig.timers.waitEnabled && rig.timers.scanEnabled)
            scanOffWhileWaiting = false;
        base();
    };
    rig.runner.SendKeys(std::string_view(GetParam().text));
    EXPECT_EQ(rig.ticks, GetParam().ticks);
    EXPECT_TRUE(scanOffWhileWaiting);
    const std::string interval = std::to_string(GetParam().interval);
    EXPECT_EQ(rig.timers.log,
        (std::vector<std::string> {
            "wait " + interval + " on", "scan off", "wait " + interval + " off", "scan on" }));
    EXPECT_EQ(rig.keys.typed(), "x");
}

INSTANTIATE_TEST_SUITE_P(Language, TimedWaits,
    ::testing::Values(WaitCase { "<<SECS3>>x", 3, 1000 }, WaitCase { "<<secs5>>x", 5, 1000 },
        WaitCase { "<<SECS 2>>x", 2, 1000 }, WaitCase { "<<MINS1>>x", 1, 60000 },
        WaitCase { "<<SECS0>>x", 1, 1000 }, WaitCase { "<<SECS-4>>x", 1, 1000 }),
    CaseNamer<&WaitCase::text> {});

TEST(Language, NestedWaitsEachGetTheirTimeAndTheTimersComeBackLast)
{
    PlaybackRig rig;
    bool nested = false;
    rig.pump.onProcess = [&, base = rig.pump.onProcess] {
        base();
        if (!nested && rig.ticks == 1) {
            nested = true;
            rig.runner.SendKeys(std::string_view("<<SECS2>>y"));
            EXPECT_TRUE(rig.timers.waitEnabled); // the outer wait still counts
            EXPECT_FALSE(rig.timers.scanEnabled);
        }
    };
    rig.runner.SendKeys(std::string_view("<<SECS5>>x"));
    EXPECT_EQ(rig.keys.typed(), "yx");
    EXPECT_GE(rig.ticks, 5);
    EXPECT_FALSE(rig.timers.waitEnabled);
    EXPECT_TRUE(rig.timers.scanEnabled);
}

struct ErrorCase
{
    const char *text;
    const char *typedBefore;
    const char *error;
};

void PrintTo(const ErrorCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.text, os);
}

class LanguageErrors : public ::testing::TestWithParam<ErrorCase>
{
};

TEST_P(LanguageErrors, EndTheTextAtOnce)
{
    PlaybackRig rig;
    try {
        rig.runner.SendKeys(std::string_view(GetParam().text));
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_STREQ(e.what(), GetParam().error);
    }
    EXPECT_EQ(rig.keys.typed(), GetParam().typedBefore);
    EXPECT_FALSE(rig.runner.SendKey1().TokensOnly());
    EXPECT_TRUE(rig.timers.scanEnabled);
}

INSTANTIATE_TEST_SUITE_P(Language, LanguageErrors,
    ::testing::Values(ErrorCase { "ab<<SECS>>cd", "ab", "'' is not a valid integer value" },
        ErrorCase { "<<MINSx>>", "", "'x' is not a valid integer value" },
        ErrorCase { "<<REP>>a<<ENDREP>>", "", "'' is not a valid integer value" },
        ErrorCase { "<<REP2 >>a<<ENDREP>>", "", "'2 ' is not a valid integer value" },
        ErrorCase { "<<LOOKFOR:A~~SECS:ten>>", "", "'ten' is not a valid integer value" },
        ErrorCase { "<<LOOKFOR:A~~MINS:>>", "", "'' is not a valid integer value" },
        ErrorCase { "<<CTRL>>{", "", "No Closing brackets" },
        ErrorCase { "a<<REP3>>b<<CTRL>>}<<ENDREP>>c", "ab", "Invalid token" }),
    CaseNamer<&ErrorCase::text> {});

TEST(Language, InputAsksOnceAndWriteValueTypesLiterally)
{
    struct Case
    {
        std::string answer;
        std::string typed;
        const char *error;
    };
    const Case cases[] = {
        { "Ann", "Hello Ann!", nullptr },
        { "^@~", "Hello ^@~!", nullptr },
        { "{ENTER}", "Hello {ENTER}!", nullptr },
        { "a{b", "Hello a", "No Closing brackets" },
    };
    for (const auto &c : cases) {
        PlaybackRig rig;
        rig.prompt.answers = { c.answer };
        const std::string text = "<<INPUT:Your name?>>Hello <<WRITEVALUE>>!";
        if (c.error) {
            EXPECT_THROW(rig.runner.SendKeys(std::string_view(text)), Error);
        } else {
            rig.runner.SendKeys(std::string_view(text));
        }
        EXPECT_EQ(rig.prompt.prompts, std::vector<std::string> { "Your name?" });
        EXPECT_EQ(rig.keys.typed(), c.typed) << c.answer;
        EXPECT_FALSE(rig.runner.SendKey1().TokensOnly()) << c.answer;
    }
}

TEST(Language, InputGivesTheForegroundBack)
{
    PlaybackRig rig;
    const auto editor = rig.windows.addWindow("Editor");
    const auto promptWindow = rig.windows.addWindow("Quorvel Input Box");
    rig.windows.foreground = editor;
    rig.prompt.onAsk = [&](const std::string &) { rig.windows.foreground = promptWindow; };
    rig.runner.SendKeys(std::string_view("<<INPUT:Q>>"));
    EXPECT_EQ(rig.windows.foreground, editor);
}

struct LookForCase
{
    const char *text;
    std::vector<std::string> windows;
    int enumerations;
    int sleeps;
    std::vector<std::string> log; // the waits as the tracer reports them: the poll limit
    const char *separator = nullptr; // nullptr: setting absent
};

void PrintTo(const LookForCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.text, os);
}

class LookFor : public ::testing::TestWithParam<LookForCase>
{
};

TEST_P(LookFor, PollsOncePerSecondUntilFoundOrTimedOut)
{
    PlaybackRig rig;
    if (GetParam().separator)
        rig.store.writeString("Main", "WaitForSeparator", GetParam().separator);
    for (const auto &title : GetParam().windows)
        rig.windows.addWindow(title);
    rig.runner.SendKeys(std::string_view(GetParam().text));
    EXPECT_EQ(rig.windows.enumerations, GetParam().enumerations);
    EXPECT_EQ(rig.pump.sleepsOf(1000), GetParam().sleeps);
    EXPECT_EQ(rig.observer.log, GetParam().log);
    EXPECT_EQ(rig.keys.typed(), "x");
    EXPECT_TRUE(rig.windows.foregroundRequests.empty()); // a wait activates nothing
}

INSTANTIATE_TEST_SUITE_P(Language, LookFor,
    ::testing::Values(
        LookForCase { "<<LOOKFOR:Report - Editor~~SECS:10>>x", { "Other", "  report - EDITOR " }, 1,
            0, { "lookfor Report - Editor 10 found" } },
        LookForCase { "<<LOOKFOR:Report - Editor~~SECS:10>>x", { "Report - Editor (2)" }, 10, 10,
            { "lookfor Report - Editor 10 timeout" } },
        LookForCase { "<<lookfor:Calc~~mins:2>>x", {}, 120, 120, { "lookfor Calc 120 timeout" } },
        LookForCase { "<<LOOKFOR:Calc~~MINS:2>>x", { "Calc" }, 1, 0, { "lookfor Calc 120 found" } },
        LookForCase { "<<LOOKFOR:Calc~~SECS:0>>x", { "Calc" }, 0, 0, { "lookfor Calc 0 timeout" } },
        LookForCase {
            "<<LOOKFOR:Calc~~MINS:-2>>x", { "Calc" }, 0, 0, { "lookfor Calc 0 timeout" } },
        LookForCase { "<<LOOKFOR:Calc~~SECS:1>>MINS:1>>x", {}, 61, 61,
            { "lookfor Calc 1 timeout", "lookfor Calc 60 timeout" } },
        LookForCase { "<<LOOKFOR:Calc##SECS:2>>x", {}, 2, 2, { "lookfor Calc 2 timeout" }, "##" },
        LookForCase { "<<LOOKFOR:Calc|SECS:2>>x", {}, 2, 2, { "lookfor Calc 2 timeout" }, "|" }),
    CaseNamer<&LookForCase::text> {});

TEST(Language, LookForSeesAWindowThatAppearsWhileWaiting)
{
    PlaybackRig rig;
    rig.pump.onSleep = [&](int ms) {
        if (ms == 1000 && rig.pump.sleepsOf(1000) == 3)
            rig.windows.addWindow("Calc");
    };
    rig.runner.SendKeys(std::string_view("<<LOOKFOR:Calc~~SECS:10>>"));
    EXPECT_EQ(rig.windows.enumerations, 4);
    EXPECT_EQ(rig.observer.log, std::vector<std::string> { "lookfor Calc 10 found" });
}

TEST(Language, FocusActivatesTheWindowWithThatTitle)
{
    PlaybackRig rig;
    rig.windows.addWindow("Notes");
    const auto calculator = rig.windows.addWindow("calculator");
    rig.runner.SendKeys(std::string_view("<<FOCUS:Calculator>>x<<FOCUS:Missing>>y"));
    EXPECT_EQ(rig.windows.foregroundRequests, std::vector<WindowHandle> { calculator });
    EXPECT_EQ(rig.keys.typed(), "xy");
    EXPECT_EQ(rig.observer.log,
        (std::vector<std::string> { "focus Calculator found", "focus Missing none" }));
}

TEST(Language, ExecuteStartsWithoutWaiting)
{
    using Call = quorvel::testing::FakeLauncher::Call;
    PlaybackRig rig;
    rig.runner.SendKeys(std::string_view(
        "<<EXECUTE:editor.exe~~readme.txt~~C:\\Temp>>x<<EXECUTE:report.txt~~~~>>y"));
    EXPECT_EQ(rig.launcher.calls,
        (std::vector<Call> {
            { "editor.exe", "readme.txt", "C:\\Temp" }, { "report.txt", "", "" } }));
    EXPECT_EQ(rig.keys.typed(), "xy");
    EXPECT_EQ(rig.runner.lastRunStatus(), ""); // only a kind-1 run reports
}

} // namespace

// A key the user still holds when the macro presses it: the server would lose the press, so
// the press waits for the release, for two seconds at most.
struct HeldKeyCase
{
    const char *text;
    std::set<KeyCode> held;
    int releasedAfterPasses; // 0: never
    const char *typed;
    int waits; // 10 ms rests while waiting
    std::vector<KeyCode> queries;
};

void PrintTo(const HeldKeyCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.text, os);
}

class HeldKeys : public ::testing::TestWithParam<HeldKeyCase>
{
};

TEST_P(HeldKeys, ArePressedOnlyOnceReleased)
{
    const HeldKeyCase &c = GetParam();
    PlaybackRig rig;
    rig.keys.heldByUser = &rig.keyboard.held;
    rig.keyboard.held = c.held;
    rig.pump.onProcess = [&] {
        if (rig.pump.passes == c.releasedAfterPasses)
            rig.keyboard.held.clear();
    };
    rig.runner.SendKeys(std::string_view(c.text));
    EXPECT_EQ(rig.keys.typed(), c.typed);
    EXPECT_EQ(rig.pump.sleepsOf(10), c.waits);
    if (!c.queries.empty()) {
        EXPECT_EQ(rig.keyboard.queries, c.queries);
    }
}

INSTANTIATE_TEST_SUITE_P(Language, HeldKeys,
    ::testing::Values(HeldKeyCase { "xy<<ENTER>>z", { vk::Return }, 4, "xy{ENTER}z", 3, {} },
        HeldKeyCase { "aaa", { 0x41 }, 2, "aaa", 1, {} },
        // Stuck: after two seconds the run goes on, and what the server drops is dropped.
        HeldKeyCase { "a<<ENTER>>b", { vk::Return }, 0, "ab", 200, {} },
        // Only the keys about to be pressed are asked about, modifiers and keyless
        // characters not at all.
        HeldKeyCase { "A^b<<CTRL>><<F4>>\xC3\xA9", { 0x5A }, 0, "A^b^{F4}\xC3\xA9", 0,
            { 0x41, 0x36, 0x42, vk::F1 + 3 } }),
    CaseNamer<&HeldKeyCase::text> {});

// The prompt closed with Enter: Enter is still down when the macro's first Enter comes.
TEST(Language, EnterThatClosedThePromptIsNotLostInTheText)
{
    PlaybackRig rig;
    rig.keys.heldByUser = &rig.keyboard.held;
    rig.prompt.answers = { "Ann" };
    int releaseAt = 0;
    rig.prompt.onAsk = [&](const std::string &) {
        rig.keyboard.held = { vk::Return };
        releaseAt = rig.pump.passes + 12;
    };
    rig.pump.onProcess = [&] {
        if (rig.pump.passes == releaseAt)
            rig.keyboard.held.clear();
    };
    rig.runner.SendKeys(std::string_view("<<INPUT:Name?>>Hi <<WRITEVALUE>>xy<<ENTER>>z<<ENTER>>"));
    EXPECT_EQ(rig.keys.typed(), "Hi Annxy{ENTER}z{ENTER}");
}
