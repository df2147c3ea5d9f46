// Lookups in the built-in tables, as the exports and queries call them.
#include <benchmark/benchmark.h>

#include "library/database/database.h"

namespace {

void FindByNameHit(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FindItemByName("Small Shield Extender II"));
}
BENCHMARK(FindByNameHit);

void FindByNameCaseVariant(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FindItemByName("SMALL SHIELD EXTENDER II"));
}
BENCHMARK(FindByNameCaseVariant);

void FindByNameMiss(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FindItemByName("Small Shield Extender III"));
}
BENCHMARK(FindByNameMiss);

// Every name in turn, so the probes do not stay in cache lines of one path.
void FindByNameAll(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindItemByName(g_ItemsById[i].name));
        if (++i == g_ItemCount) i = 0;
    }
}
BENCHMARK(FindByNameAll);

void FindByIdAll(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindItemById(g_ItemsByName[i].type_id));
        if (++i == g_ItemCount) i = 0;
    }
}
BENCHMARK(FindByIdAll);

void FindBlueprintAll(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindBlueprint(g_ItemsById[i].type_id));  // hits and misses
        if (++i == g_ItemCount) i = 0;
    }
}
BENCHMARK(FindBlueprintAll);

void FindInventionHit(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FindInvention(29984));
}
BENCHMARK(FindInventionHit);

}  // namespace

BENCHMARK_MAIN();
