// Characters per second through the advanced macro language into a sink that does nothing;
// the two sizes show whether the run stays linear in the text's length.

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "playback/MacroRunner.h"
#include "playback/UsKeyboardLayout.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace {

using namespace quorvel;

class NullSink : public KeySink
{
public:
    KeyScan keyScan(char32_t ch) override { return usKeyScan(ch); }
    unsigned scanCode(KeyCode) override { return 0; }
    void keyEvent(KeyCode key, unsigned, bool, bool) override { benchmark::DoNotOptimize(key); }
    void typeCharacter(char32_t ch) override { benchmark::DoNotOptimize(ch); }
};
class NullPump : public EventPump
{
public:
    void processMessages() override { }
    void sleep(int) override { }
};
class NoKeys : public KeyboardState
{
public:
    bool isKeyDown(KeyCode) override { return false; }
};
class NoWindows : public WindowSystem
{
public:
    void enumWindows(const std::function<bool(const WindowInfo &)> &) override { }
    bool isWindowVisible(WindowHandle) override { return false; }
    WindowHandle foregroundWindow() override { return 0; }
    void setForegroundWindow(WindowHandle) override { }
    WindowHandle findWindow(std::string_view) override { return 0; }
};
class NoLauncher : public Launcher
{
public:
    void open(const std::string &, const std::string &, const std::string &) override { }
};
class NoJournal : public Journal
{
public:
    void StartRecording() override { }
    void StopRecording() override { }
    void StartPlayBack() override { }
};
class NoPrompt : public ValuePrompt
{
public:
    std::string ask(const std::string &) override { return "value"; }
};
class NoDate : public DateTimeFormatter
{
public:
    std::string format(DateTimeFormat) override { return "12/7/2026"; }
};
class NoTimers : public Timers
{
public:
    void setScanTimerEnabled(bool) override { }
    void setWaitTimer(int, bool) override { }
};

// Plain characters (some of them multi-byte or without a key), key tokens, and modifier
// tokens followed by a character. A modifier followed by a key token would cut the rest of
// the text to 10000 characters, so the text has none.
std::string macroText(std::size_t bytes)
{
    static const std::string piece = "Dear Ann,<<ENTER>>the report is due on Friday; "
                                     "caf\xC3\xA9 {ok} ^@~ <<TAB>><<CTRL>>s<<SHIFT>>a<<F4>>"
                                     "<<CTRL+ALT>>d<<DELETE>><<FOO>>bar<<BACKSPACE>>\r\n";
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes)
        text += piece;
    text.resize(bytes);
    return text;
}

// A runner over null services: only the language's own work is measured.
struct NullRig
{
    ProfileStore store {
        (std::filesystem::temp_directory_path() / "quorvel-bench-none" / "macros.ini").string()
    };
    Catalogue catalogue { store };
    NullSink sink;
    NoKeys keyboard;
    NullPump pump;
    NoWindows windows;
    NoLauncher launcher;
    NoJournal journal;
    NoPrompt prompt;
    NoDate date;
    NoTimers timers;
    MacroRunner runner { PlaybackServices { sink, keyboard, pump, windows, launcher, journal,
        prompt, date, timers, catalogue, "/tmp/", nullptr, false } };
};

void BM_SendKeys(benchmark::State &state)
{
    const std::string text = macroText(static_cast<std::size_t>(state.range(0)));
    const double characters = static_cast<double>(text::decode(text).size());
    NullRig rig;
    MacroRunner &runner = rig.runner;
    for (auto _ : state) {
        runner.SendKeys(std::string_view(text));
        TSendKey::resetSharedState();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
    state.counters["chars/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * characters, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SendKeys)->Arg(100 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);

// Repeat blocks that never find their "<<ENDREP>>": each one searches the rest of the text.
void BM_SendKeysWithoutTerminators(benchmark::State &state)
{
    std::string text;
    while (text.size() < static_cast<std::size_t>(state.range(0)))
        text += "<<REP1>>abcdefgh";
    NullRig rig;
    MacroRunner &runner = rig.runner;
    for (auto _ : state)
        runner.SendKeys(std::string_view(text));
    state.counters["chars/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(text.size()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SendKeysWithoutTerminators)
    ->Arg(100 * 1024)
    ->Arg(1024 * 1024)
    ->Unit(benchmark::kMillisecond);

} // namespace
