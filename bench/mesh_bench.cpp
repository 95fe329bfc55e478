// Mesh loading and normal calculation on a 708 x 708 grid (501,264 vertices,
// 999,698 triangles) of gentle waves, written here as R3D files in both body
// modes.
//
// The load benchmarks read the file (from the page cache) and run the reader
// into memory buffers, as a mesh's Load does before the streams; they report
// MB/s of file. The normal benchmark runs the normal calculation with the
// default smoothing angle on the grid already in memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Common/DataBlock.h"
#include "Mesh/Processing/NormalCalculator.h"
#include "Mesh/Processing/R3DReader.h"
#include "Parser/Exceptions.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSide = 708;

struct Grid {
    std::vector<float> locations;
    std::vector<int> indices;
};

Grid makeGrid() {
    Grid grid;
    for (int j = 0; j < kSide; ++j) {
        for (int i = 0; i < kSide; ++i) {
            const float x = float(i) / (kSide - 1) * 2 - 1;
            const float y = float(j) / (kSide - 1) * 2 - 1;
            grid.locations.insert(grid.locations.end(),
                                  {x, y, 0.1f * std::sin(9 * x) * std::cos(7 * y)});
        }
    }
    for (int j = 0; j + 1 < kSide; ++j) {
        for (int i = 0; i + 1 < kSide; ++i) {
            const int k = j * kSide + i;
            grid.indices.insert(grid.indices.end(),
                                {k, k + 1, k + kSide, k + 1, k + kSide + 1, k + kSide});
        }
    }
    return grid;
}

std::string r3d(const Grid& grid, bool binary) {
    std::string out = "element vertices " + std::to_string(grid.locations.size() / 3) +
                      "\nproperty real locationx\nproperty real locationy\nproperty real "
                      "locationz\nelement triangles " +
                      std::to_string(grid.indices.size() / 3) +
                      "\nproperty int index0\nproperty int index1\nproperty int index2\n" +
                      (binary ? "bdata\n" : "data\n");
    if (binary) {
        out.append(reinterpret_cast<const char*>(grid.locations.data()), grid.locations.size() * 4);
        out.append(reinterpret_cast<const char*>(grid.indices.data()), grid.indices.size() * 4);
        return out;
    }
    char line[96];
    for (std::size_t v = 0; v < grid.locations.size(); v += 3) {
        const float* p = &grid.locations[v];
        out.append(line, std::snprintf(line, sizeof line, "%.6g %.6g %.6g\n", p[0], p[1], p[2]));
    }
    for (std::size_t t = 0; t < grid.indices.size(); t += 3) {
        const int* i = &grid.indices[t];
        out.append(line, std::snprintf(line, sizeof line, "%d %d %d\n", i[0], i[1], i[2]));
    }
    return out;
}

struct Workspace {
    fs::path dir;
    Grid grid;
    fs::path files[2];  // text, binary
    std::size_t sizes[2] = {};
    ~Workspace() {
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

struct Sink : Vexa::MeshDataConsumer {
    Vexa::VertexData vertices;
    Vexa::IndexData faces;
    Vexa::VertexData* createVertexData(const Vexa::VertexFormat& format, int count) override {
        vertices.format = format;
        vertices.allocate(count);
        return &vertices;
    }
    Vexa::IndexData* createIndexData(int count) override {
        faces.indices.assign(std::size_t(count), 0);
        return &faces;
    }
};

// The grid from memory, as the reader would give it.
class GridProducer : public Vexa::MeshDataProducer {
public:
    explicit GridProducer(const Grid& grid) : m_grid(grid) {}
    void setConsumer(Vexa::MeshDataConsumer* consumer) override { m_consumer = consumer; }
    bool hasNonTriangleFaces() const override { return false; }
    void produce() override {
        Vexa::VertexFormat format;
        format.add("location", 3);
        Vexa::VertexData* v =
            m_consumer->createVertexData(format, int(m_grid.locations.size() / 3));
        std::memcpy(v->data.data(), m_grid.locations.data(), m_grid.locations.size() * 4);
        Vexa::IndexData* f = m_consumer->createIndexData(int(m_grid.indices.size()));
        f->faceCount = f->rangeCount = int(m_grid.indices.size() / 3);
        std::memcpy(f->indices.data(), m_grid.indices.data(), m_grid.indices.size() * 4);
    }

private:
    const Grid& m_grid;
    Vexa::MeshDataConsumer* m_consumer = nullptr;
};

void load(benchmark::State& state, int mode) {
    const Workspace& w = workspace();
    for (auto _ : state) {
        Sink sink;  // fresh buffers, as a first load has
        Vexa::FileDataBlock block(w.files[mode].string());
        Vexa::R3DReader reader(&block);
        reader.setConsumer(&sink);
        reader.produce();
        if (sink.faces.indices.size() != w.grid.indices.size())
            state.SkipWithError("wrong triangle count");
    }
    state.counters["MB/s"] = benchmark::Counter(
        double(state.iterations()) * double(w.sizes[mode]) / 1e6, benchmark::Counter::kIsRate);
    state.counters["MB"] = double(w.sizes[mode]) / 1e6;
}

void BM_R3DLoadText(benchmark::State& state) { load(state, 0); }
void BM_R3DLoadBinary(benchmark::State& state) { load(state, 1); }

void BM_NormalsWithSmoothingAngle(benchmark::State& state) {
    const Workspace& w = workspace();
    for (auto _ : state) {
        Sink sink;
        Vexa::NormalCalculator normals(std::make_unique<GridProducer>(w.grid));
        normals.setConsumer(&sink);
        normals.produce();
    }
}

// The grid's own copy into memory, to subtract from the normal figure.
void BM_NormalsInputCopy(benchmark::State& state) {
    for (auto _ : state) {
        Sink sink;
        GridProducer grid(workspace().grid);
        grid.setConsumer(&sink);
        grid.produce();
    }
}

BENCHMARK(BM_R3DLoadBinary)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_R3DLoadText)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_NormalsWithSmoothingAngle)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_NormalsInputCopy)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::string dir = (fs::temp_directory_path() / "vexa-mesh-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) {
        std::perror("mesh_bench: mkdtemp");
        return 1;
    }
    Workspace& w = workspace();
    w.dir = dir;
    w.grid = makeGrid();
    for (int mode = 0; mode < 2; ++mode) {
        const std::string bytes = r3d(w.grid, mode == 1);
        w.files[mode] = w.dir / (mode ? "grid-binary.r3d" : "grid-text.r3d");
        std::ofstream(w.files[mode], std::ios::binary) << bytes;
        w.sizes[mode] = bytes.size();
    }
    std::printf("grid: %zu vertices, %zu triangles; text %.1f MB, binary %.1f MB\n",
                w.grid.locations.size() / 3, w.grid.indices.size() / 3, w.sizes[0] / 1e6,
                w.sizes[1] / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
