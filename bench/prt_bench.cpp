// What a spherical-harmonic light costs: its projection (250000 samples of
// the lobe, done once when a script makes the light) and its per-frame
// Update, one copy of seven registers into each of two constant sets.
#include <benchmark/benchmark.h>

#include <memory>

#include "Parser/Functions/PRTLight.h"
#include "Parser/IniCommands.h"

namespace {

using namespace Vexa;

void BM_PRTLightProjection(benchmark::State& state) {
    const CosineKernel lobe(Vec3f{{1, 0, 0}});
    for (auto _ : state) {
        SHLighting lighting(lobe);
        benchmark::DoNotOptimize(lighting.coefficients());
    }
    state.SetLabel("250000 samples");
}
BENCHMARK(BM_PRTLightProjection)->Unit(benchmark::kMillisecond);

void BM_PRTLightUpdateTwoTargets(benchmark::State& state) {
    auto* light = new LightObject();
    auto* prt = new PRTLightObject(light);
    auto* a = new VertexConstantsObject();
    auto* b = new VertexConstantsObject();
    prt->addTarget(a);
    prt->addTarget(b);
    SimpleCommand update(0, CommandKinds::Update());
    for (auto _ : state) {
        prt->execute(update);
        benchmark::ClobberMemory();
    }
    for (IniObject* object : {static_cast<IniObject*>(light), static_cast<IniObject*>(prt),
                              static_cast<IniObject*>(a), static_cast<IniObject*>(b)})
        object->touch();
    collectGarbage();
}
BENCHMARK(BM_PRTLightUpdateTwoTargets);

}  // namespace

BENCHMARK_MAIN();
