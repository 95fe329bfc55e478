// Marching cubes on the built-in fields, single thread, into plain memory:
//
// - SinSphere over a 128³ grid (voxel size 5 / 128): the whole triangulation
//   as a mesh runs it on Update, so sampling the field slice by slice, the
//   cells, the vertices and indices and the normals are all in the figure;
//   the render machine's buffer locks are not. Reported as grid cells per
//   second.
// - MetaCubes with five balls inside the soft box over a 64³ grid, triangulated again each
//   frame: time per frame, the same work as above.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Mesh/TriangulateMesh.h"
#include "Parser/Functions/ImplicitSurfaces.h"
#include "Parser/Parser.h"

namespace {

using namespace Vexa;

void triangulateField(benchmark::State& state, const char* field, int cellsPerAxis) {
    auto parser = std::make_unique<Parser>();
    parser->parseString(std::string("f = ") + field);
    const auto& input = *static_cast<TriangulateInputObject*>(parser->lookup("f"));
    std::vector<float> vertices(6 * TriangulateMesh::kMaxVertices);
    std::vector<uint16_t> indices(3 * TriangulateMesh::kMaxTriangles);
    const float voxelSize = 5.0f / static_cast<float>(cellsPerAxis);
    int vertexCount = 0;
    int triangleCount = 0;
    for (auto _ : state) {
        triangulate(input, voxelSize, vertices.data(), indices.data(), vertexCount, triangleCount,
                    TriangulateMesh::kMaxVertices, TriangulateMesh::kMaxTriangles);
        benchmark::ClobberMemory();
    }
    const double cells = double(cellsPerAxis) * cellsPerAxis * cellsPerAxis;
    state.counters["cells/s"] =
        benchmark::Counter(cells, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["vertices"] = vertexCount;
    state.counters["triangles"] = triangleCount;
}

void BM_SinSphere128(benchmark::State& state) {
    triangulateField(state, "SinSphere { phases = < 0.3 0.7 1.1 > }", 128);
}
void BM_MetaCubes64(benchmark::State& state) {
    triangulateField(state,
                     "MetaCubes ( < 0 0 0 > 0.01  < 0.8 0.2 0 > 0.005  < -0.6 0.5 0.3 > 0.008\n"
                     "            < 0.1 -0.9 0.4 > 0.004  < 0.3 0.4 -0.8 > 0.006 )",
                     64);
}
BENCHMARK(BM_SinSphere128)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MetaCubes64)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
