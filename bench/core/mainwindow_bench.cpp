// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/Catalogue.h"
#include "catalogue/MacroList.h"
#include "fakes/FakeHotKeyRegistrar.h"
#include "triggers/HotKeyBindings.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace quorvel;

namespace {
std::string makeCatalogue(int records)
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    const auto path = pattern + "/macros.ini";
    std::ofstream out(path);
    out << "[Main]\nEntries=" << records << "\n";
    for (int n = 1; n <= records; ++n) {
        // Every one of the 100 slots gets a distinct key: Ctrl, Alt, Shift over A to Z and 0 to 9.
        const unsigned hotKey =
            n <= 100 ? 0x4000u * unsigned(1 + n % 3) + 0x41 + unsigned(n / 3) : 0;
        out << "[Macro" << n << "]\nName=Macro number " << n << "\nType=" << (n % 4 + 1)
            << "\nHotKey=" << hotKey << "\nFileName=Macro number " << n
            << ".key\nTrigger=" << (n % 10 == 0 ? "Window " + std::to_string(n) : "")
            << "\nFoundHandle=\nSpeed=1\n";
    }
    return path;
}
} // namespace

// Start-up and every change to the catalogue: the list is loaded and the hot keys bound again.
static void BM_LoadMacroListAndBindHotKeys(benchmark::State &state)
{
    const auto path = makeCatalogue(static_cast<int>(state.range(0)));
    ProfileStore store(path);
    Catalogue catalogue(store);
    quorvel::testing::FakeHotKeyRegistrar registrar;
    std::size_t rows = 0;
    HotKeyBindings bindings(
        registrar, nullptr, [](int, KeyCode) {}, [&] { rows = LoadMacroList(catalogue).size(); });
    for (auto _ : state) {
        auto list = LoadMacroList(catalogue);
        benchmark::DoNotOptimize(list);
        bindings.BindHotKeys(catalogue);
        registrar.log.clear();
    }
    if (rows != std::size_t(state.range(0)) || registrar.registrations.size() != 100)
        state.SkipWithError("catalogue not loaded or not bound in full");
    std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_LoadMacroListAndBindHotKeys)->Arg(1000)->Unit(benchmark::kMillisecond);
