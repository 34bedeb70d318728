// SPDX-License-Identifier: GPL-3.0-or-later
// Typing into editors of the two big toolkits, read back from what they write out.

#include "X11TestSupport.h"
#include "common/Text.h"
#include "platform/x11/X11KeySink.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace quorvel::testing {
namespace {

// Half ASCII, half other scripts and symbols, in lines.
std::string editorText()
{
    const std::u32string lines[] = {
        U"The quick brown fox jumps over the lazy dog 0123456789 !#$%&*+,-./:;=?@",
        U"Съешь же ещё этих мягких французских булок, да выпей чаю.",
        U"PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS \\^_|~ the end of a line",
        U"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. φχψω ΦΧΨΩ",
        U"Sphinx of black quartz, judge my vow: 42 + 17 = 59; 100% done.",
        U"天地玄黄，宇宙洪荒。日月盈昃，辰宿列张。东京 大阪 北京",
        U"How vexingly quick daft zebras jump! 3.14159 2.71828",
        U"→ ∑ € © ± ≤ ≥ ∞ ✓ № § ° µ — “quoted” «Ёлка»",
    };
    std::u32string s;
    for (std::size_t i = 0; s.size() < 2000; ++i) {
        if (!s.empty())
            s += U'\n';
        s += lines[i % std::size(lines)];
    }
    s.resize(2000);
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

std::string withoutTrailingBreaks(std::string s)
{
    while (!s.empty() && s.back() == '\n')
        s.pop_back();
    return s;
}

// Waits for a window whose title matches the pattern and gives it the focus.
unsigned long focusWindowNamed(const std::string &pattern)
{
    unsigned long window = 0;
    waitUntil(
        [&] {
            const std::string found = output({ "xdotool", "search", "--name", pattern });
            window = found.empty() ? 0 : std::stoul(found);
            return window != 0;
        },
        30s);
    if (!window)
        return 0;
    if (!waitUntil([&] { return activeWindow() == window; }, 3s))
        activate(window);
    // A toolkit takes input a moment after its window shows.
    std::this_thread::sleep_for(700ms);
    return window;
}

TEST(Editors, GtkTextBoxReceivesExactlyWhatWasTyped)
{
    X11Rig rig;
    const std::string text = editorText();
    std::string printed;
    int status = -1;
    std::thread dialog([&] {
        status = run({ "env", "NO_AT_BRIDGE=1", "zenity", "--text-info", "--editable", "--title",
                         "quorvel gtk editor", "--width", "800", "--height", "600" },
            &printed, 120s);
    });
    const unsigned long window = focusWindowNamed("^quorvel gtk editor$");
    ASSERT_NE(window, 0u);
    rig.runner.SendKeys(asMacro(text));
    rig.backend.keySink().releaseAll();
    // OK has no mnemonic: a click, from another client.
    std::this_thread::sleep_for(300ms);
    run({ "sh", "-c",
        "eval \"$(xdotool getwindowgeometry --shell " + std::to_string(window)
            + ")\" && xdotool mousemove --window " + std::to_string(window)
            + " $((WIDTH - 45)) $((HEIGHT - 22)) click 1" });
    dialog.join();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(withoutTrailingBreaks(printed), text);
    EXPECT_TRUE(keysDown().empty());
}

TEST(Editors, QtEditorSavesExactlyWhatWasTyped)
{
    // Qt answers pings to the root window under another mask than GTK. With a settle time of a
    // second, typing that waited for the clock and not for the answers would take a minute.
    setenv("QUORVEL_KEYMAP_SETTLE", "1000", 1);
    X11Rig rig;
    unsetenv("QUORVEL_KEYMAP_SETTLE");
    const std::string text = editorText();
    const std::string file = rig.dir.file("typed.txt");
    writeFile(file, "");
    Child editor({ "featherpad", "--standalone", file },
        { "XDG_CONFIG_HOME=" + rig.dir.file("config"), "QT_ACCESSIBILITY=0" });
    ASSERT_NE(focusWindowNamed("typed\\.txt"), 0u);
    const auto start = std::chrono::steady_clock::now();
    rig.runner.SendKeys(asMacro(text) + "<<CTRL>>s");
    rig.backend.keySink().releaseAll();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    std::string saved;
    waitUntil(
        [&] {
            saved = readFile(file);
            return !saved.empty();
        },
        30s);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(withoutTrailingBreaks(readFile(file)), text);
    EXPECT_TRUE(keysDown().empty());
}

} // namespace
} // namespace quorvel::testing
