// Growth of the largest random tree (65,536 points, the default step of
// 0.01): through the spatial index the effect uses, and beside it by
// scanning every vertex for each new one, on the same random sequence. The
// scan also checks that both grew the same tree. Device streams are not in
// the figures.
#include <benchmark/benchmark.h>

#include "Common/Random.h"
#include "Parser/Functions/RandomTree.h"

namespace {

using namespace Vexa;

constexpr int kPoints = kMaxTreePoints;
constexpr float kLength = 0.01f;

void BM_RTreeGrowth(benchmark::State& state) {
    for (auto _ : state) {
        StandardRandom random;
        benchmark::DoNotOptimize(growRandomTree(kPoints, kLength, random));
    }
}
BENCHMARK(BM_RTreeGrowth)->Unit(benchmark::kMillisecond);

void BM_RTreeGrowthByScan(benchmark::State& state) {
    RandomTree scanned;
    for (auto _ : state) {
        StandardRandom random;
        scanned = growRandomTreeByScan(kPoints, kLength, random);
    }
    StandardRandom random;
    const RandomTree indexed = growRandomTree(kPoints, kLength, random);
    if (indexed.positions != scanned.positions || indexed.segments != scanned.segments)
        state.SkipWithError("the indexed growth differs from the scan");
}
BENCHMARK(BM_RTreeGrowthByScan)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
