// Script and archive throughput.
//
// The script benchmarks parse and evaluate a generated production of about
// 10 MB (tools/gen_script.py) and report MB/s and objects/s, where objects
// are those reachable from the root scope afterwards. The archive benchmarks
// index a 10,000-member tar archive written here in the GNU format.
//
// With --parse-file=PATH the program instead parses that one file once,
// destroys the result and prints the parse time, the teardown time and the
// heap bytes per object.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Archive/Archive.h"
#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"

namespace fs = std::filesystem;

namespace {

constexpr int kArchiveMembers = 10000;

// Scratch files of one run, removed at exit.
struct Workspace {
    fs::path dir;
    fs::path script;
    std::string scriptText;
    std::size_t scriptObjects = 0;
    fs::path archive;

    ~Workspace() {
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

fs::path sourceRoot() { return fs::path(__FILE__).parent_path().parent_path(); }

// Counts the distinct objects reachable from `root` through bindings and
// tuple elements. The visits go into one array, sorted at the end, so that
// counting leaves no small blocks behind in the heap to slow a teardown
// measured after it.
std::size_t countObjects(const Vexa::IniObject* root) {
    std::vector<const Vexa::IniObject*> seen;
    std::vector<const Vexa::IniObject*> work{root};
    while (!work.empty()) {
        const Vexa::IniObject* object = work.back();
        work.pop_back();
        if (!object) continue;
        seen.push_back(object);
        if (Vexa::IniObject::isOfType(object, Vexa::Types::Block())) {
            for (const auto& entry : static_cast<const Vexa::BlockObject*>(object)->bindings())
                work.push_back(entry.second.value);
        } else if (Vexa::IniObject::isOfType(object, Vexa::Types::Tuple())) {
            for (const Vexa::IniObject* element :
                 static_cast<const Vexa::TupleObject*>(object)->elements())
                work.push_back(element);
        }
    }
    std::sort(seen.begin(), seen.end());
    return static_cast<std::size_t>(std::unique(seen.begin(), seen.end()) - seen.begin());
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void prepareScript() {
    Workspace& w = workspace();
    w.script = w.dir / "bench.ini";
    const std::string command = "python3 '" + (sourceRoot() / "tools" / "gen_script.py").string() +
                                "' '" + w.script.string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "parse_bench: cannot generate the script: %s\n", command.c_str());
        std::exit(1);
    }
    w.scriptText = readAll(w.script);
    Vexa::Parser parser;
    parser.parseString(w.scriptText);
    w.scriptObjects = countObjects(parser.rootScope());
}

// One 512-byte header in the GNU form, with a valid checksum so that GNU tar
// itself lists the archive.
std::string tarHeader(const std::string& name, std::size_t size) {
    std::string h(512, '\0');
    h.replace(0, name.size(), name);
    h.replace(100, 8, "0000644", 8);
    h.replace(108, 8, "0001750", 8);
    h.replace(116, 8, "0001750", 8);
    char field[16];
    std::snprintf(field, sizeof field, "%011zo", size);
    h.replace(124, 12, field, 12);
    h.replace(136, 12, "14713256700", 12);
    h[156] = '0';
    h.replace(257, 8, std::string("ustar  \0", 8));
    h.replace(265, 5, "vexa\0", 5);
    h.replace(297, 5, "vexa\0", 5);
    h.replace(148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    std::snprintf(field, sizeof field, "%06o", sum);
    h.replace(148, 7, field, 7);  // six digits, a zero, then the blank kept
    return h;
}

void prepareArchive() {
    Workspace& w = workspace();
    w.archive = w.dir / "cfg.dat";
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> sizes(0, 2048);
    std::ofstream out(w.archive, std::ios::binary);
    const char* const folders[] = {"Ini/", "Ini/Scenes/", "Data/Meshes/", "Data/Textures/"};
    for (int i = 0; i < kArchiveMembers; ++i) {
        const std::string name =
            std::string(folders[i % 4]) + "member_" + std::to_string(i) + ".dat";
        const std::size_t size = sizes(rng);
        out << tarHeader(name, size);
        std::string body(size, 'x');
        body.resize((size + 511) / 512 * 512, '\0');
        out << body;
    }
    out << std::string(1024, '\0');
}

void BM_ParseString(benchmark::State& state) {
    const Workspace& w = workspace();
    for (auto _ : state) {
        {
            Vexa::Parser parser;
            parser.parseString(w.scriptText);
        }
        Vexa::collectGarbage();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["MB/s"] = benchmark::Counter(
        runs * static_cast<double>(w.scriptText.size()) / 1e6, benchmark::Counter::kIsRate);
    state.counters["objects/s"] = benchmark::Counter(runs * static_cast<double>(w.scriptObjects),
                                                     benchmark::Counter::kIsRate);
    state.counters["objects"] = static_cast<double>(w.scriptObjects);
}

// As the player reads its main script: from the file system, through the
// file lookup.
void BM_ParseFile(benchmark::State& state) {
    const Workspace& w = workspace();
    for (auto _ : state) {
        {
            Vexa::Parser parser;
            parser.parseFile(w.script.string());
        }
        Vexa::collectGarbage();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["MB/s"] = benchmark::Counter(
        runs * static_cast<double>(w.scriptText.size()) / 1e6, benchmark::Counter::kIsRate);
    state.counters["objects/s"] = benchmark::Counter(runs * static_cast<double>(w.scriptObjects),
                                                     benchmark::Counter::kIsRate);
}

// Index only: the archive's bytes are already in memory.
void BM_ArchiveIndex(benchmark::State& state) {
    Vexa::FileDataBlock block(workspace().archive.string());
    block.load();
    for (auto _ : state) {
        Vexa::Archive archive(&block);
        archive.load();
        benchmark::DoNotOptimize(archive.entries().data());
    }
    state.counters["members/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kArchiveMembers, benchmark::Counter::kIsRate);
}

// What the player does at start: read cfg.dat and index it.
void BM_ArchiveOpen(benchmark::State& state) {
    for (auto _ : state) {
        Vexa::FileDataBlock block(workspace().archive.string());
        Vexa::Archive archive(&block);
        archive.load();
        if (archive.entries().size() != kArchiveMembers) state.SkipWithError("wrong member count");
    }
}

BENCHMARK(BM_ParseString)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ParseFile)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_ArchiveIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveOpen)->Unit(benchmark::kMillisecond);

// Heap bytes in use, as the C library counts them.
std::size_t heapInUse() { return mallinfo2().uordblks; }

// Parses one file and destroys what it made, as the player does at start-up,
// printing the parse time, the teardown time and the heap bytes per object
// held once parsing is over (tokens already freed). Exit status 1 when the
// script does not parse.
int parseOnce(const char* path) {
    using Clock = std::chrono::steady_clock;
    const std::size_t heapBefore = heapInUse();
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    auto parser = std::make_unique<Vexa::Parser>();
    try {
        parser->parseFile(path);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.message().c_str());
        return 1;
    }
    const std::clock_t cpuParsed = std::clock();
    const auto parsed = Clock::now();
    const std::size_t objects = countObjects(parser->rootScope());

    const std::clock_t cpuTeardown = std::clock();
    parser.reset();
    const std::size_t heapHeld = heapInUse() - heapBefore;
    Vexa::collectGarbage();
    const double teardown = static_cast<double>(std::clock() - cpuTeardown) / CLOCKS_PER_SEC;
    std::printf(
        "parse_cpu_seconds %.4f\nparse_wall_seconds %.4f\nteardown_cpu_seconds %.4f\n"
        "objects %zu\nteardown_ns_per_object %.1f\nheap_bytes_per_object %.1f\n",
        static_cast<double>(cpuParsed - cpuStart) / CLOCKS_PER_SEC,
        std::chrono::duration<double>(parsed - start).count(), teardown, objects,
        objects ? teardown * 1e9 / static_cast<double>(objects) : 0.0,
        objects ? static_cast<double>(heapHeld) / static_cast<double>(objects) : 0.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    static const char kParseFile[] = "--parse-file=";
    if (argc == 2 && std::strncmp(argv[1], kParseFile, sizeof kParseFile - 1) == 0)
        return parseOnce(argv[1] + sizeof kParseFile - 1);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::string dir = (fs::temp_directory_path() / "vexa-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) {
        std::perror("parse_bench: mkdtemp");
        return 1;
    }
    workspace().dir = dir;
    try {
        prepareScript();
        prepareArchive();
    } catch (const Exception& e) {
        std::fprintf(stderr, "parse_bench: %s\n", e.message().c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
