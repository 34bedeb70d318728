// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Error.h"
#include "platform/NullPlatform.h"
#include "playback/DryRun.h"
#include "playback/MacroCheck.h"
#include "playback/MacroTokens.h"
#include "playback/Tracing.h"
#include "playback_rig.h"

#include <gtest/gtest.h>
#include <map>

using namespace quorvel;
using quorvel::testing::CaseNamer;
using quorvel::testing::PlaybackRig;

namespace {

// "LINE:COLUMN kind" per finding, joined by ", ".
std::string summary(const MacroCheck &check)
{
    std::string out;
    for (const auto &f : check.findings) {
        out += (out.empty() ? "" : ", ") + std::to_string(f.line) + ":" + std::to_string(f.column)
            + " " + std::string(findingKindName(f.kind));
    }
    return out;
}

// A catalogue holding the macros the texts below run.
struct CheckRig : PlaybackRig
{
    CatalogueDirectory directory { catalogue, folder() };
    CheckRig()
    {
        addAdvanced("Notes", "notes");
        addAdvanced("Daily report", "report");
        addRecord("Replay", macrokind::MouseAndKeys, "Replay.dat");
    }
    MacroCheck check(const std::string &text, int self = 0, const std::string &selfName = {})
    {
        return checkMacroText(text, MacroCheckContext { &directory, self, selfName, "~~" });
    }
};

struct CheckCase
{
    const char *text;
    const char *findings;
};

void PrintTo(const CheckCase &c, std::ostream *os)
{
    quorvel::testing::printCase(c.text, os);
}

class CleanText : public ::testing::TestWithParam<const char *>
{
};

// Texts that run as written: the language's own examples and what the editor's menus and
// dialogs insert.
TEST_P(CleanText, HasNoFinding)
{
    CheckRig rig;
    EXPECT_EQ(summary(rig.check(GetParam())), "");
}

INSTANTIATE_TEST_SUITE_P(Check, CleanText,
    ::testing::Values("abc", "^@~{}", "  \t\r\n  ", "ab\r\ncd\r\n", "ab\ncd", "<<enter>><<Enter>>",
        "<<CTRL>>c", "<<ALT>>f", "<<SHIFT>>a", "<<CTRL+SHIFT>>s", "<<CTRL+ALT>>d", "<<SHIFT+ALT>>x",
        "<<CTRL>><<F4>>", "<<ALT>><<PRINTSCREEN>>", "<<SHIFT+ALT>><<ENTER>>",
        "<<SHIFT>><<BACKSPACE>>", "<<ALT>>", "<<F1>>x", "<<F10>><<F11>><<F12>>",
        "<<TAB>><<BACKSPACE>><<INSERT>><<DELETE>><<HOME>><<END>><<PAGEUP>><<PAGEDOWN>>"
        "<<PRINTSCREEN>><<UP>><<DOWN>><<LEFT>><<RIGHT>><<ESC>>",
        "<<SECS3>>", "<<MINS1>>", "<<SECS0>>", "<<secs5>>", "<<MINS15>>", "<<REP3>>ab<<ENDREP>>c",
        "<<REP2>> x <<ENDREP>>", "<<rep2>>x<<ENDREP>>", "<<REP0>>ab<<ENDREP>>c",
        "<<REP2>><<CTRL>>v<<ENTER>><<ENDREP>>", "<<INPUT:Your name?>>Hello <<WRITEVALUE>>",
        "<<INPUT:>>", "<<WRITEVALUE>>x", "<<RUN:notes>>", "<<RUN:Daily report>>",
        "<<RUN:NOTES>><<RUN:replay>>", "<<LOOKFOR:Report - Editor~~SECS:10>>",
        "<<LOOKFOR:Calc~~MINS:2>>", "<<FOCUS:Calculator>>",
        "<<EXECUTE:editor.exe~~readme.txt~~C:\\Temp>>", "<<EXECUTE:report.txt~~~~>>",
        "<<SHORTDATE>> <<LONGDATE>> <<SHORTTIME>>|<<LONGTIME>>", "a < b > c", "1 <= 2 >> 1",
        "caf\xC3\xA9 \xE9\x80"),
    [](const auto &info) { return quorvel::testing::caseName(info.index, info.param); });

class Findings : public ::testing::TestWithParam<CheckCase>
{
};

TEST_P(Findings, AreReportedWhereTheRunMeetsThem)
{
    CheckRig rig;
    EXPECT_EQ(summary(rig.check(GetParam().text)), GetParam().findings);
}

INSTANTIATE_TEST_SUITE_P(Check, Findings,
    ::testing::Values(CheckCase { "<<FOO>>bar", "1:1 unknown-token" },
        CheckCase { "ab\r\ncd<<Foo>>", "2:3 unknown-token" },
        CheckCase { "x\ny\rz\r\n<<FOO>>", "4:1 unknown-token" },
        CheckCase { "cout << x", "1:6 unknown-token" },
        CheckCase { "caf\xC3\xA9<<FOO>>", "1:5 unknown-token" },
        CheckCase { "<<ENDREP>>", "1:1 stray-endrep" },
        CheckCase { "<<REP2>>abc", "1:1 unclosed-repeat" },
        CheckCase { "<<REP2>>xxxxxxxxxx<<endrep>>y", "1:1 unclosed-repeat, 1:19 stray-endrep" },
        CheckCase {
            "<<REP2>>a<<REP2>>b<<ENDREP>>c<<ENDREP>>", "1:10 nested-repeat, 1:30 stray-endrep" },
        CheckCase { "<<REPx>>a<<ENDREP>>", "1:6 bad-count" },
        CheckCase { "<<SECS>>", "1:7 bad-count" }, CheckCase { "<<SECS5s>>", "1:7 bad-count" },
        CheckCase { "<<mins 1.5>>", "1:7 bad-count" },
        CheckCase { "<<LOOKFOR:Calc~~SECS:ten>>", "1:22 bad-count" },
        CheckCase { "<<SECS5", "1:1 unterminated, 1:1 bad-count" },
        CheckCase { "<<SECS5>x", "1:1 unterminated" },
        CheckCase { "<<SECS5\n>>", "1:1 unterminated" },
        CheckCase { "<<INPUT:abc", "1:1 unterminated" },
        CheckCase { "<<RUN:notes", "1:1 unterminated, 1:1 unknown-macro" },
        CheckCase { "<<FOCUS:Calc>junk>>x", "1:1 unterminated" },
        CheckCase { "<<EXECUTE:calc>>", "1:1 unterminated" },
        CheckCase { "<<EXECUTE:calc~~>>x~~y>>", "1:1 unterminated" },
        CheckCase { "<<RUN:Nobody>>", "1:1 unknown-macro" },
        CheckCase { "<<INPUT:Name<<ENTER>>x>>", "1:1 unterminated" },
        CheckCase { "<<CTRL>><<SECS5>>", "1:1 modifier-command" },
        CheckCase { "<<CTRL>><<ALT>>x", "1:1 modifier-command" },
        CheckCase { "<<ALT>><<FOO>>", "1:8 unknown-token" }, CheckCase { "<<CTRL>>{", "1:1 brace" },
        CheckCase { "<<LOOKFOR:Calc>>", "1:1 lookfor-no-limit" },
        CheckCase { "<<LOOKFOR:Calc~~>>x", "1:1 lookfor-no-limit" },
        CheckCase { "<<LOOKFOR:Calc~~SEC:5>>", "1:1 lookfor-no-limit" }),
    CaseNamer<&CheckCase::text> {});

TEST(Check, FindingsCarryLengthAndTheRunsOwnMessage)
{
    CheckRig rig;
    const auto unknown = rig.check("ab<<FOO>>").findings.at(0);
    EXPECT_EQ(unknown.length, 7);
    EXPECT_NE(unknown.message.find("\"FOO>>\""), std::string::npos) << unknown.message;
    const auto count = rig.check("<<SECS5s>>").findings.at(0);
    EXPECT_EQ(count.length, 2);
    EXPECT_NE(count.message.find("\"'5s' is not a valid integer value\""), std::string::npos)
        << count.message;
}

TEST(Check, RunNamesAreNotCheckedWithoutACatalogue)
{
    EXPECT_EQ(summary(checkMacroText("<<RUN:Nobody>>")), "");
}

TEST(Check, TheSeparatorSettingEndsTheWindowTitle)
{
    MacroCheckContext context;
    context.separator = "##";
    EXPECT_EQ(summary(checkMacroText("<<LOOKFOR:Calc##SECS:5>>", context)), "");
    EXPECT_EQ(summary(checkMacroText("<<LOOKFOR:Calc~~SECS:5>>", context)), "1:1 lookfor-no-limit");
}

TEST(Check, RunsThatComeBackRoundAreFound)
{
    CheckRig rig;
    const int a = rig.addAdvanced("A", "<<RUN:B>>");
    rig.addAdvanced("B", "x<<run:a>>");
    // The text being edited stands for A's file; B's file is read.
    const auto cycle = rig.check("<<RUN:B>>", a).findings;
    ASSERT_EQ(cycle.size(), 1u);
    EXPECT_EQ(cycle[0].kind, FindingKind::RunCycle);
    EXPECT_NE(cycle[0].message.find("\"B\" runs \"A\" runs \"B\""), std::string::npos)
        << cycle[0].message;
    EXPECT_EQ(summary(rig.check("<<RUN:Notes>>", a)), "");
    // A macro not stored yet that runs itself by its name.
    EXPECT_EQ(summary(rig.check("<<RUN:me>>", 0, "Me")), "1:1 run-cycle");
    // A circle that does not pass through the text still stops its run.
    EXPECT_EQ(summary(rig.check("<<RUN:A>>", 0, "New")), "1:1 run-cycle");
}

TEST(Check, RunsNestingPastTheLimitAreFound)
{
    CheckRig rig;
    // M1 runs M2 ... M17 runs nothing: from the text, 17 runs inside each other, one too many.
    for (int i = 1; i <= 17; ++i)
        rig.addAdvanced(
            "M" + std::to_string(i), i < 17 ? "<<RUN:M" + std::to_string(i + 1) + ">>" : "");
    EXPECT_EQ(summary(rig.check("<<RUN:M2>>")), "");
    EXPECT_EQ(summary(rig.check("<<RUN:M1>>")), "1:1 run-cycle");
}

TEST(Check, TextPastTheCutAfterAModifiedKeyIsReported)
{
    const std::string text = "<<CTRL>><<F4>>" + std::string(10000, 'x') + "<<FOO>>";
    // The cut hides the unknown token: the run never reaches it.
    EXPECT_EQ(summary(checkMacroText(text)), "1:10009 cut");
}

TEST(Check, SpansMarkKeysModifiersCommandsAndUnknownTokens)
{
    const auto spans = checkMacroText("<<CTRL>><<F4>>x<<SECS5>><<FOO>><<REP2>>a<<ENDREP>>").spans;
    const std::vector<TokenSpan> expected { { 0, 8, SpanKind::Modifier }, { 8, 6, SpanKind::Key },
        { 15, 9, SpanKind::Command }, { 24, 7, SpanKind::Unknown }, { 31, 8, SpanKind::Command },
        { 40, 10, SpanKind::Command } };
    EXPECT_EQ(spans, expected);
}

// Texts of a megabyte, some built to defeat a scanner that searches again from each token.
TEST(Check, AMegabyteIsCheckedInOnePass)
{
    const std::string line = "Dear <<INPUT:Name>>,<<TAB>><<WRITEVALUE>> <<REP2>>ab<<ENDREP>>"
                             "<<SECS1>><<RUN:x>><<FOO>><<LOOKFOR:W~~SECS:1>><<ALT>>f\n";
    std::string text;
    while (text.size() < (1u << 20))
        text += line;
    EXPECT_EQ(checkMacroText(text).findings.size(), text.size() / line.size());

    const struct
    {
        const char *piece;
        FindingKind kind;
    } unclosed[] = { { "<<RUN:", FindingKind::Unterminated },
        { "<<REP", FindingKind::UnclosedRepeat }, { "<<INPUT:a\n", FindingKind::Unterminated },
        { "<<LOOKFOR:", FindingKind::LookForNoLimit }, { "<<", FindingKind::UnknownToken } };
    for (const auto &c : unclosed) {
        std::string repeated;
        while (repeated.size() < (1u << 20))
            repeated += c.piece;
        const auto findings = checkMacroText(repeated + ">>").findings;
        ASSERT_FALSE(findings.empty()) << c.piece;
        EXPECT_EQ(findings.front().kind, c.kind) << c.piece;
    }
}

// A text with every token of the language, each with an argument where it takes one.
std::string everyToken()
{
    std::string text = "Hi\r\n";
    const auto add = [&text](std::u32string_view token) { text += text::encode(token); };
    for (const auto &row : tokens::kModifierTokens) {
        add(row.token);
        text += "a";
    }
    for (const auto &row : tokens::kKeyTokens)
        add(row.token);
    using tokens::Command;
    const std::map<Command, std::string> arguments { { Command::Secs, "1>>" },
        { Command::Mins, "1>>" }, { Command::Rep, "2>>x<<ENDREP>>" }, { Command::Input, "N>>" },
        { Command::Run, "Notes>>" }, { Command::Focus, "Editor>>" },
        { Command::LookFor, "Editor~~SECS:1>><<LOOKFOR:Editor~~MINS:1>>" },
        { Command::Execute, "editor~~a.txt~~/tmp>>" } };
    for (const auto &row : tokens::kCommandTokens) {
        add(row.token);
        if (const auto it = arguments.find(row.command); it != arguments.end())
            text += it->second;
    }
    return text + "\ncaf\xC3\xA9";
}

// The checker, and a run against the tracing stand-ins as "quorvelctl trace" makes it, end
// on every prefix: the run only with an error of its own.
TEST(Check, EveryPrefixOfEveryTokenEndsCleanly)
{
    CheckRig rig;
    const std::string text = everyToken();
    const std::string file = rig.dir.file("prefix.key");
    for (std::size_t n = 0; n <= text.size(); ++n) {
        const std::string prefix = text.substr(0, n);
        EXPECT_NO_THROW(rig.check(prefix)) << prefix;
        quorvel::testing::writeFile(file, prefix);
        RawTrace trace([](const std::string &) {});
        TracingKeySink keys(trace);
        NullKeySink keyboard;
        NullEventPump pump;
        TracingWindows windows({ "Editor" });
        TracingLauncher launcher(trace);
        TracingJournal journal(trace, rig.folder());
        TracingPrompt prompt(trace);
        FixedDateTime dateTime;
        NullTimers timers;
        MacroRunner runner(PlaybackServices { keys, keyboard, pump, windows, launcher, journal,
            prompt, dateTime, timers, rig.catalogue, rig.folder(), &trace, true });
        journal.OnFinished = [&runner](bool) { runner.journalFinished(); };
        try {
            runner.RunAdvancedMacroFile(file);
        } catch (const Error &) {
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what() << " on " << prefix;
        }
    }
}

// quorvelctl reads a large macro in pieces; cut anywhere, it decodes as it would whole.
TEST(Check, TextDecodedInPiecesReadsAsWhole)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xE9z\xC3";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        std::string bytes = text.substr(0, cut);
        const std::size_t whole = text::wholeUtf8Length(bytes);
        const auto pieces = text::decode(std::string_view(bytes).substr(0, whole))
            + text::decode(bytes.substr(whole) + text.substr(cut));
        EXPECT_EQ(pieces, text::decode(text)) << cut;
    }
}

TEST(DryRun, TellsWhatTheMacroWouldDo)
{
    CheckRig rig;
    rig.addAdvanced("Sign", "Regards<<ENTER>>");
    const auto lines =
        dryRunMacroText("<<CTRL>><<F4>>Hello <<SHIFT>>x<<TAB>><<SECS5>>"
                        "<<INPUT:Your name?>><<WRITEVALUE>><<RUN:sign>><<RUN:Replay>>\n"
                        "<<LOOKFOR:Report~~MINS:2>><<FOCUS:Calc>><<SHORTDATE>>"
                        "<<EXECUTE:editor~~a.txt~~/tmp>><<CTRL+SHIFT>>s<<ALT>>",
            DryRunSetup { rig.catalogue, rig.folder(), rig.dateTime });
    const std::vector<std::string> expected { "Ctrl+F4", "type: Hello X", "Tab", "wait 5 s",
        "ask: Your name?", "type the value asked for", "run: Sign", "  type: Regards", "  Enter",
        "run: Replay", "  play back \"Replay.dat\" at its recorded speed", "Enter", "Ctrl+Enter",
        "look for window \"Report\", up to 2 min", "bring window \"Calc\" to the front",
        "type: 12/7/2026", "start program \"editor\" with \"a.txt\" in \"/tmp\"", "Ctrl+Shift+S",
        "Alt stays held for the next key typed" };
    EXPECT_EQ(lines, expected);
    // The real runs' sender is left as it was.
    EXPECT_EQ(rig.runner.SendKey1().pendingModifiers(), 0u);
}

TEST(DryRun, EndsWithTheRunsErrorAndStopsAnEndlessRun)
{
    CheckRig rig;
    const DryRunSetup setup { rig.catalogue, rig.folder(), rig.dateTime };
    EXPECT_EQ(dryRunMacroText("ab<<SECS>>cd", setup),
        (std::vector<std::string> { "type: ab", "error: '' is not a valid integer value" }));

    rig.addAdvanced("Loop", "<<RUN:Loop>>");
    const auto loop = dryRunMacroText("<<RUN:Loop>>", setup);
    EXPECT_EQ(loop.back().rfind("error: Macro nesting is too deep", 16 * 2), 16u * 2)
        << loop.back();

    for (const char *endless :
        { "<<REP999999999>>x<<TAB>><<ENDREP>>", "<<REP999999999>><<RUN:nobody>><<ENDREP>>",
            "<<REP999999999>> <<ENDREP>>", "<<REP999999999>><<REP999999999>>x<<ENDREP>>" }) {
        const auto lines = dryRunMacroText(endless, setup);
        EXPECT_LE(lines.size(), DryRunMaxLines + 1) << endless;
        if (lines.size() > DryRunMaxLines) {
            EXPECT_NE(lines.back().find("cut short"), std::string::npos) << endless;
        }
    }
}

} // namespace

// A desktop whose layout lacks é and ß, pasting é and unable to type ß.
CharacterRoute routeOnDesktop(char32_t c)
{
    return c == U'é' ? CharacterRoute::Pasted
        : c == U'ß'  ? CharacterRoute::None
                     : CharacterRoute::Key;
}

TEST(DesktopRoutes, TheCheckTheDryRunAndTheRunNameWhatIsPastedOrCannotBeTyped)
{
    const struct
    {
        const char *text;
        const char *findings;
        const char *dryRunLast; // the dry run's last line
    } cases[] = {
        { "abc<<ENTER>>", "", "Enter" },
        { "caféé<<ENTER>>é", "1:4 pasted, 1:15 pasted",
            "pasted through the clipboard on this desktop: \"é\"" },
        { "Straße", "1:5 untypable",
            "error: This desktop cannot type the character \"ß\": its keyboard layout has no key "
            "for it and no other route carries it" },
        // Tokens' arguments are not typed; an unknown token types what follows its "<<".
        { "<<FOCUS:ßé>><<INPUT:ß?>>", "", "ask: ß?" },
        { "<<ß>>", "1:1 unknown-token, 1:3 untypable",
            "error: This desktop cannot type the character \"ß\": its keyboard layout has no key "
            "for it and no other route carries it" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        CheckRig rig;
        MacroCheckContext context { &rig.directory, 0, {}, "~~" };
        context.route = routeOnDesktop;
        EXPECT_EQ(summary(checkMacroText(c.text, context)), c.findings);
        const auto lines = dryRunMacroText(
            c.text, DryRunSetup { rig.catalogue, rig.folder(), rig.dateTime, routeOnDesktop });
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.dryRunLast);
    }
}

TEST(DesktopRoutes, ARunStopsBeforeItsFirstKeyWhenTheDesktopCannotTypeACharacter)
{
    CheckRig rig;
    rig.keys.routes = routeOnDesktop;
    try {
        rig.runner.interpreter().runAdvancedMacroText("Hello<<ENTER>>Straße é ß");
        FAIL() << "the run went on";
    } catch (const Error &e) {
        EXPECT_STREQ(e.what(),
            "This desktop cannot type the character \"ß\": its keyboard layout has no key for it "
            "and no other route carries it");
    }
    EXPECT_TRUE(rig.keys.events.empty());
    rig.runner.interpreter().runAdvancedMacroText("café");
    EXPECT_FALSE(rig.keys.events.empty());
}
