// The exports as a macro host calls them (loaded library, arguments by reference) beside the bare
// lookups they are built on, so the cost of the host interface shows as a ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "library/database/database.h"
#include "platform/win32api.h"

namespace {

template <typename Function>
Function Export(const char* name) {
    static HMODULE module = LoadLibraryA(QUARNELS_LIBRARY_PATH);
    if (!module) {
        std::fprintf(stderr, "cannot load %s\n", QUARNELS_LIBRARY_PATH);
        std::exit(1);
    }
    auto proc = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (!proc) {
        std::fprintf(stderr, "no export %s\n", name);
        std::exit(1);
    }
    return proc;
}

char kRaven[] = "Raven";
char kTritanium[] = "Tritanium";

void BareFindItemByName(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FindItemByName(kRaven));
}
BENCHMARK(BareFindItemByName);

// GetVolume is one name lookup behind the host interface.
void ExportGetVolume(benchmark::State& state) {
    auto getVolume = Export<double (*)(char**)>("GetVolume");
    char* item = kRaven;
    for (auto _ : state) benchmark::DoNotOptimize(getVolume(&item));
}
BENCHMARK(ExportGetVolume);

void BareFindBlueprint(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FindBlueprint(638));
}
BENCHMARK(BareFindBlueprint);

// Name lookup and bill-of-materials lookup, the way GetMaterialTypes does them, bare.
void BareNameThenBlueprint(benchmark::State& state) {
    for (auto _ : state) {
        const item_entry* item = FindItemByName(kRaven);
        benchmark::DoNotOptimize(FindBlueprint(item->type_id));
    }
}
BENCHMARK(BareNameThenBlueprint);

void ExportGetMaterialTypes(benchmark::State& state) {
    auto getMaterialTypes = Export<int (*)(char**)>("GetMaterialTypes");
    char* product = kRaven;
    for (auto _ : state) benchmark::DoNotOptimize(getMaterialTypes(&product));
}
BENCHMARK(ExportGetMaterialTypes);

// GetMaterialAmount's lookups: product name, bill of materials, material name.
void BareMaterialAmountLookups(benchmark::State& state) {
    for (auto _ : state) {
        const item_entry* item = FindItemByName(kRaven);
        const blueprint_entry* bill = FindBlueprint(item->type_id);
        benchmark::DoNotOptimize(bill);
        benchmark::DoNotOptimize(FindItemByName(kTritanium));
    }
}
BENCHMARK(BareMaterialAmountLookups);

void ExportGetMaterialAmount(benchmark::State& state) {
    auto getMaterialAmount = Export<int (*)(char**, char**, int*, double*)>("GetMaterialAmount");
    char* product = kRaven;
    char* material = kTritanium;
    int quantity = 3;
    double me = 10.0;
    for (auto _ : state) benchmark::DoNotOptimize(getMaterialAmount(&product, &material, &quantity, &me));
}
BENCHMARK(ExportGetMaterialAmount);

}  // namespace

BENCHMARK_MAIN();
