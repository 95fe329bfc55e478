// What one animated transform costs per frame: its Update command, which
// rebuilds the matrix from its live inputs and hands it on. The envelopes
// that feed the inputs are updated separately and are not in the figure
// (their cost is in the envelope benchmarks).
#include <benchmark/benchmark.h>

#include <memory>

#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"

namespace {

using namespace Vexa;

const char* const kScript =
    "graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 64 }\n"
    "e = Envelope { type = \"LINEAR\" key = ( 0 0  10 6.2832 ) }\n"
    "rotation = Rotation { angle = e axis = < 0.3 1 0.2 > pivot = < 1 0 2 > }\n"
    "lw = LwTransform { x = e y = 1 z = e heading = e pitch = e bank = e sx = e }\n";

void updateTransform(benchmark::State& state, const char* name) {
    auto parser = std::make_unique<Parser>();
    parser->parseString(kScript);
    IniObject* envelope = parser->lookup("e");
    IniObject* transform = parser->lookup(name);
    SimpleCommand update(2.5f, CommandKinds::Update());
    envelope->execute(update);
    for (auto _ : state) {
        transform->execute(update);
        benchmark::ClobberMemory();
    }
}
void BM_RotationUpdate(benchmark::State& state) { updateTransform(state, "rotation"); }
void BM_LwTransformUpdate(benchmark::State& state) { updateTransform(state, "lw"); }
BENCHMARK(BM_RotationUpdate);
BENCHMARK(BM_LwTransformUpdate);

}  // namespace

BENCHMARK_MAIN();
