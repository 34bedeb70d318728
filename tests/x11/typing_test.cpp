// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestSupport.h"
#include "common/Error.h"
#include "common/Text.h"
#include "platform/x11/X11KeySink.h"
#include "platform/x11/X11Keyboard.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace quorvel::testing {
namespace {

// Puts the US layout back whatever a test left.
struct LayoutGuard
{
    explicit LayoutGuard(const std::string &layout) { setLayout(layout); }
    ~LayoutGuard() { setLayout("us"); }
};

struct CapsLockGuard
{
    x11::X11Backend &backend;
    explicit CapsLockGuard(x11::X11Backend &b)
        : backend(b)
    {
        set(true);
    }
    ~CapsLockGuard() { set(false); }
    void set(bool on)
    {
        backend.processEvents();
        if (bool(backend.keyboard().lockedModifiers() & 2) != on)
            pressKeys("Caps_Lock");
        waitUntil([&] {
            backend.processEvents();
            return bool(backend.keyboard().lockedModifiers() & 2) == on;
        });
    }
};

std::string typeInto(X11Rig &rig, TypingTarget &target, const std::string &text)
{
    target.focus();
    rig.runner.SendKeys(text + "<<ENTER>>");
    rig.backend.keySink().releaseAll();
    return target.waitForLine();
}

// Words of several scripts and symbols, none on a US layout, in lines of at most 64
// characters (a terminal takes no line over 4,095 bytes); a macro's line breaks are Enter.
std::string mixedText(std::size_t n)
{
    const std::u32string pool[] = {
        U"Съешь же ещё этих мягких французских булок, да выпей чаю.",
        U"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία.",
        U"天地玄黄，宇宙洪荒。日月盈昃，辰宿列张。寒来暑往，秋收冬藏。",
        U"→ ∑ € © ± ≤ ≥ ∞ ✓ № § ° µ — “quoted” «Ёлка»",
        U"Любая буква: ЖЗИЙКЛМН, φχψω ΦΧΨΩ, 東京 大阪 北京.",
        U"The quick brown fox jumps over the lazy dog 0123456789 !#$%&*+,-./:;=?@",
    };
    std::u32string s;
    std::size_t column = 0;
    for (std::size_t i = 0; s.size() < n; ++i) {
        for (const char32_t c : pool[(i * 5) % std::size(pool)] + U" ") {
            if (column >= 56 && c == U' ') {
                s += U'\n';
                column = 0;
            } else {
                s += c;
                ++column;
            }
        }
    }
    s.resize(n);
    if (s.back() == U' ' || s.back() == U'\n')
        s.back() = U'.';
    return text::encode(s);
}

std::string asMacro(const std::string &text)
{
    std::string out;
    for (const char c : text)
        out += c == '\n' ? std::string("<<ENTER>>") : std::string(1, c);
    return out;
}

TEST(Typing, PrintableAsciiArrivesExactly)
{
    X11Rig rig;
    TypingTarget target;
    std::string ascii;
    for (char c = 0x21; c < 0x7F; ++c)
        ascii += c;
    const std::string text = "Hello World " + ascii + " The quick brown fox 0123456789";
    EXPECT_EQ(typeInto(rig, target, text), text + "\n");
    EXPECT_TRUE(keysDown().empty());
}

TEST(Typing, NamedKeysAndLineBreaks)
{
    X11Rig rig;
    TypingTarget target;
    // Backspace and Tab as the terminal line discipline sees them; CR is Enter and LF is
    // Ctrl+Enter, which a terminal takes as a line break too.
    target.focus();
    rig.runner.SendKeys(std::string("abx<<BACKSPACE>>c<<TAB>>d\r\nefg"));
    rig.runner.SendKeys(std::string("<<ENTER>>"));
    waitUntil([&] { return target.contents().size() >= 11; });
    EXPECT_EQ(target.waitForLine(), "abc\td\n\nefg\n");
}

TEST(Typing, GermanLayoutTypesLevelThreeAndItsOwnLetters)
{
    LayoutGuard de("de");
    X11Rig rig;
    TypingTarget target;
    const std::string text = "@{[]}\\~| \xE2\x82\xAC \xC2\xB5 zy Z\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"
                             "\xC3\x84 \xC2\xB2\xC2\xB3 #'+*";
    EXPECT_EQ(typeInto(rig, target, text), text + "\n");
}

TEST(Typing, CharactersOnNoLayoutArriveEveryTime)
{
    X11Rig rig;
    // Twenty characters no US key has: each needs a binding of its own on a spare key.
    const std::string text = "\xE2\x82\xAC\xC5\x91\xC5\xB1\xC3\xA1\xC3\xA9\xC3\xAD\xE4\xB8\xAD"
                             "\xE6\x96\x87\xD0\x96\xD0\xB6\xC3\xB1\xC3\x91\xE2\x80\x94\xE2\x80"
                             "\x9C\xE2\x80\x9D\xCE\xB1\xCE\xA9\xC3\xB8\xC5\x81\xC4\x8D";
    for (int round = 0; round < 3; ++round) {
        TypingTarget fresh("typing target " + std::to_string(round));
        EXPECT_EQ(typeInto(rig, fresh, text + " a" + text), text + " a" + text + "\n")
            << "round " << round;
    }
    // Afterwards the spare keys are empty again.
    for (unsigned kc : rig.backend.keyboard().spareKeys())
        EXPECT_EQ(rig.backend.keyboard().spareBinding(kc), 0u);
}

TEST(Typing, TwoThousandCharactersOfOtherScriptsArriveExactly)
{
    // Exactness, not pace: a loaded test machine gets a settle time no target here outruns.
    setenv("QUORVEL_KEYMAP_SETTLE", "120", 1);
    X11Rig rig;
    unsetenv("QUORVEL_KEYMAP_SETTLE");
    TypingTarget target;
    const std::string text = mixedText(2000);
    const auto lines = std::size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    target.focus();
    rig.runner.SendKeys(asMacro(text) + "<<ENTER>>");
    rig.backend.keySink().releaseAll();
    std::string got;
    waitUntil(
        [&] {
            got = target.contents();
            return std::size_t(std::count(got.begin(), got.end(), '\n')) >= lines;
        },
        60s);
    EXPECT_EQ(got, text + "\n");
    EXPECT_TRUE(keysDown().empty());
}

TEST(Typing, CapsLockDoesNotChangeWhatIsTyped)
{
    X11Rig rig;
    CapsLockGuard caps(rig.backend);
    TypingTarget target;
    // Letters of the layout, cased letters off it, and characters without case, which share
    // spare keys two at a time (one of them typed with Shift).
    const std::string text = "aBc Xyz 1! \xC5\x91\xC5\x90 \xC3\xB1 \xE4\xB8\xAD\xE6\x96\x87"
                             "\xE2\x82\xAC\xE2\x80\x94 \xE6\x96\x87\xE4\xB8\xAD";
    EXPECT_EQ(typeInto(rig, target, text), text + "\n");
}

TEST(Typing, ShiftHeldByTheMacroLeavesCharactersWithoutCaseAsTheyAre)
{
    X11Rig rig;
    TypingTarget target;
    // Two characters without case on one key: Shift picks between them, so the macro's own
    // Shift must not; on a cased letter it gives the capital, as on any key.
    const std::string zhong = "\xE4\xB8\xAD", wen = "\xE6\x96\x87", euro = "\xE2\x82\xAC";
    EXPECT_EQ(typeInto(rig, target,
                  zhong + wen + euro + " <<SHIFT>>" + zhong + "<<SHIFT>>" + wen + "<<SHIFT>>" + euro
                      + "<<SHIFT>>\xC3\xB1"),
        zhong + wen + euro + " " + zhong + wen + euro + "\xC3\x91\n");
}

TEST(Typing, ModifiersReachTheTargetTheWayX11ReadsThem)
{
    X11Rig rig;
    KeyCapture capture;
    struct Case
    {
        const char *keys; // a keystroke string
        std::vector<std::string> presses;
    } cases[] = {
        { "^a", { "Control_L", "Ctrl+a" } },
        { "{ALT}x", { "Alt_L", "Alt+x" } },
        { "~{F1}", { "Shift_L", "Shift+F1" } },
        { "A", { "Shift_L", "Shift+A" } },
        { "^@{DEL}", { "Alt_L", "Alt+Control_L", "Ctrl+Alt+Delete" } },
        { "{alt}", { "Alt_L" } },
        { "\n", { "Control_L", "Ctrl+Return" } },
    };
    for (const auto &c : cases) {
        capture.clear();
        rig.runner.SendKey1().SendString(std::string(c.keys));
        rig.backend.keySink().releaseAll();
        waitUntil([&] {
            capture.drain();
            return capture.presses().size() >= c.presses.size();
        });
        std::this_thread::sleep_for(30ms);
        capture.drain();
        EXPECT_EQ(capture.presses(), c.presses) << c.keys;
    }
}

TEST(Typing, LevelThreeGoesOutAsIsoLevel3ShiftNotCtrlAlt)
{
    LayoutGuard de("de");
    X11Rig rig;
    KeyCapture capture;
    rig.runner.SendKeys(std::string("@"));
    waitUntil([&] {
        capture.drain();
        return capture.presses().size() >= 2;
    });
    EXPECT_EQ(capture.presses(), (std::vector<std::string> { "ISO_Level3_Shift", "Level3+at" }));
}

TEST(Typing, NothingStaysDownAfterAFailedRun)
{
    X11Rig rig;
    TypingTarget target;
    writeFile(rig.dir.file("bad.key"), "x<<SHIFT>>{");
    EXPECT_THROW(rig.runner.RunAdvancedMacroFile(rig.dir.file("bad.key")), Error);
    EXPECT_TRUE(waitUntil([] { return keysDown().empty(); }, 2s));
    rig.runner.SendKeys(std::string("<<ENTER>>"));
    EXPECT_EQ(target.waitForLine(), "x\n");
}

} // namespace
} // namespace quorvel::testing
