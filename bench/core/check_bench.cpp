// SPDX-License-Identifier: GPL-3.0-or-later
// Megabytes per second through the macro checker: a realistic text, and texts made of
// commands that never close (each would send a naive checker back over the rest of the
// text). The two sizes show whether the check stays linear in the text's length.

#include "playback/MacroCheck.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace quorvel;

std::string repeated(const std::string &piece, std::size_t bytes)
{
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes)
        text += piece;
    text.resize(bytes);
    return text;
}

void run(benchmark::State &state, const std::string &piece)
{
    const std::string text = repeated(piece, std::size_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(checkMacroText(text));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * state.range(0));
}

void BM_CheckMacroText(benchmark::State &state)
{
    run(state,
        "Dear <<INPUT:Name>>,<<TAB>><<WRITEVALUE>> <<REP2>>ab<<ENDREP>><<SECS1>><<RUN:x>>"
        "<<FOO>><<LOOKFOR:W~~SECS:1>><<ALT>>f caf\xC3\xA9\r\n");
}
BENCHMARK(BM_CheckMacroText)->Arg(100 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);

void BM_CheckUnclosedCommands(benchmark::State &state)
{
    run(state, "<<RUN:a<<REP1<<INPUT:b<<LOOKFOR:c<<EXECUTE:d<<FOCUS:e");
}
BENCHMARK(BM_CheckUnclosedCommands)
    ->Arg(100 * 1024)
    ->Arg(1024 * 1024)
    ->Unit(benchmark::kMillisecond);

} // namespace
