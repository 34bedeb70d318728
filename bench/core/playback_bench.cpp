// SPDX-License-Identifier: GPL-3.0-or-later
// Characters per second through the advanced macro language into a sink that does nothing;
// the two sizes show whether the run stays linear in the text's length.

#include "catalogue/Catalogue.h"
#include "catalogue/ProfileStore.h"
#include "common/Text.h"
#include "platform/NullPlatform.h"
#include "playback/MacroRunner.h"
#include "playback/UsKeyboardLayout.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace {

using namespace quorvel;

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
    NullKeySink sink { usKeyScan };
    NullKeySink keyboard;
    NullEventPump pump;
    NullWindowSystem windows;
    NullLauncher launcher;
    NullJournal journal;
    NullValuePrompt prompt { "value" };
    NullDateTimeFormatter date { "12/7/2026" };
    NullTimers timers;
    MacroRunner runner { PlaybackServices { sink, keyboard, pump, windows, launcher, journal,
        prompt, date, timers, catalogue, "/tmp/", nullptr, false } };
};

void BM_SendKeys(benchmark::State &state)
{
    const std::string text = macroText(static_cast<std::size_t>(state.range(0)));
    const double characters = static_cast<double>(text::decode(text).size());
    NullRig rig;
    MacroRunner &runner = rig.runner;
    for (auto _ : state)
        runner.SendKeys(std::string_view(text));
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
