// Frame cost of an event list: it must depend on the events fired and the
// spans active in a frame, never on how many events the list holds. Each run
// holds N events in all, but only the same few come due in the frames timed.
#include <benchmark/benchmark.h>

#include <vector>

#include "Parser/Functions/CommandEmitters.h"
#include "Parser/IniCommands.h"

namespace {

using namespace Vexa;

class Sink : public IniObject {
public:
    const TypeObject* type() const override { return Types::Number(); }
    void execute(CommandObject& c) override { benchmark::DoNotOptimize(c.time()); }
};

void BM_EventListFrame(benchmark::State& state) {
    const int total = static_cast<int>(state.range(0));
    Sink sink;
    SimpleCommand command(0.0f, CommandKinds::Draw());
    const float frame = 1.0f / 60.0f;
    const int framesPerList = 600;  // ten seconds of frames

    auto makeList = [&] {
        std::vector<EventListObject::PointEvent> points;
        std::vector<EventListObject::SpanEvent> spans;
        // Two point events per frame during the timed ten seconds...
        for (int i = 0; i < 2 * framesPerList; ++i)
            points.push_back({i * frame / 2, &sink, &command});
        // ...ten spans, each active for two seconds...
        for (int i = 0; i < 10; ++i)
            spans.push_back({i * 1.0f, i * 1.0f + 2.0f, 0.0f, -1.0f, i * 1.0f, &sink, &command});
        // ...and the rest of the list far in the future.
        for (int i = static_cast<int>(points.size() + spans.size()); i < total; ++i)
            points.push_back({1000.0f + i, &sink, &command});
        return new EventListObject(std::move(points), std::move(spans));
    };

    // One iteration replays the ten seconds; building the list is not timed.
    for (auto _ : state) {
        state.PauseTiming();
        EventListObject* list = makeList();
        state.ResumeTiming();
        for (int f = 0; f < framesPerList; ++f) {
            SimpleCommand update(f * frame, CommandKinds::Update());
            list->execute(update);
        }
        state.PauseTiming();
        delete list;
        state.ResumeTiming();
    }
    state.counters["frame"] = benchmark::Counter(
        framesPerList, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["events"] = total;
}
BENCHMARK(BM_EventListFrame)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
