// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

using namespace quorvel;

namespace {
std::string makeCatalogue(int records, bool withHandles = false)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    const auto path = pattern + "/macros.ini";
    std::ofstream out(path);
    out << "[Main]\nEntries=" << records << "\nSearchInterval=250\n";
    for (int n = 1; n <= records; ++n) {
        out << "[Macro" << n << "]\nName=Macro number " << n << "\nType=" << (n % 4 + 1)
            << "\nHotKey=" << (n <= 100 ? 49152 + 0x41 + n % 26 : 0) << "\nFileName=Macro number "
            << n << ".key\nTrigger=" << (n % 10 == 0 ? "Window " + std::to_string(n) : "")
            << "\nFoundHandle=" << (withHandles ? std::to_string(4194304 + n) : "")
            << "\nSpeed=1\n";
    }
    return path;
}

// What one trigger-scan tick reads: Entries, then every record's Trigger.
void scanTick(ProfileStore &store, benchmark::State &state)
{
    const int count = store.readInteger("Main", "Entries", 0);
    std::size_t total = 0;
    for (int n = 1; n <= count; ++n)
        total += store.readString(Catalogue::sectionName(n), "Trigger", "").size();
    benchmark::DoNotOptimize(total);
    (void)state;
}
} // namespace

static void BM_ScanTickUnchanged(benchmark::State &state)
{
    const auto path = makeCatalogue(static_cast<int>(state.range(0)));
    ProfileStore store(path);
    scanTick(store, state);
    for (auto _ : state)
        scanTick(store, state);
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_ScanTickUnchanged)->Arg(1000)->Unit(benchmark::kMicrosecond);

static void BM_ScanTickJustChanged(benchmark::State &state)
{
    const auto path = makeCatalogue(static_cast<int>(state.range(0)));
    ProfileStore writer(path);
    ProfileStore reader(path);
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writer.writeInteger("Macro1", "Counter", ++i);
        state.ResumeTiming();
        scanTick(reader, state);
    }
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_ScanTickJustChanged)->Arg(1000)->Unit(benchmark::kMicrosecond);

static void BM_WriteOneKey(benchmark::State &state)
{
    const auto path = makeCatalogue(static_cast<int>(state.range(0)));
    ProfileStore store(path);
    int i = 0;
    for (auto _ : state)
        store.writeInteger("Macro500", "FoundHandle", ++i);
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_WriteOneKey)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Start-up's reset of the trigger memory: arg 1 when every record holds a handle (a second copy
// starting beside a busy first one), 0 when all are empty already (the usual start).
static void BM_ResetTriggerMemory(benchmark::State &state)
{
    const int records = static_cast<int>(state.range(0));
    const bool withHandles = state.range(1) != 0;
    const auto path = makeCatalogue(records, withHandles);
    const auto folder = std::filesystem::path(path).parent_path();
    std::string full;
    {
        std::ifstream in(path);
        full.assign(std::istreambuf_iterator<char>(in), {});
    }
    ProfileStore store(path);
    Catalogue catalogue(store);
    for (auto _ : state) {
        state.PauseTiming();
        if (withHandles)
            std::ofstream(path, std::ios::trunc) << full;
        state.ResumeTiming();
        catalogue.resetTriggerMemory();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ResetTriggerMemory)
    ->Args({ 1000, 1 })
    ->Args({ 1000, 0 })
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
