// Envelope evaluation cost: 10,000 channels of 50 keys each, unevenly
// spaced, with mixed tangent rules.
//
// Frames: every channel is evaluated once per frame at successive frame
// times (60 per second), as the player's Update does, so nearly every call
// reuses the cached segment. Random: every call is at an unrelated time, so
// nearly every call searches the time index for another segment. Both report
// ns per value; the channels take about 2.8 MB per thousand (keys, index and
// the channel itself).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <random>
#include <vector>

#include "Interpolation/Interpolation.h"

namespace {

const int kChannels = 10000;
const int kKeys = 50;
const float kKeySpacing = 0.5f;
const float kSpan = kKeySpacing * (kKeys - 1);

std::vector<Vexa::Interpolation> makeChannels() {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    std::uniform_int_distribution<int> mode(0, 4);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f);
    std::vector<Vexa::Interpolation> channels(kChannels);
    for (Vexa::Interpolation& channel : channels) {
        channel.setPost(Vexa::Interpolation::kCycle);
        for (int k = 0; k < kKeys; ++k) {
            // Uneven spacing, as keys set by hand have.
            const float time = kKeySpacing * static_cast<float>(k) +
                               (k > 0 && k < kKeys - 1 ? jitter(random) : 0.0f);
            switch (mode(random)) {
                case 3: channel.addFixedKey(time, value(random), value(random)); break;
                case 4: channel.addTcbKey(time, value(random), 0.2f, -0.1f, 0.3f); break;
                default: channel.addKey(time, value(random), mode(random) % 3); break;
            }
        }
        channel.finish();
    }
    return channels;
}

void BM_EnvelopeFrames(benchmark::State& state) {
    std::vector<Vexa::Interpolation> channels = makeChannels();
    float time = 0.0f;
    for (auto _ : state) {
        for (Vexa::Interpolation& channel : channels) benchmark::DoNotOptimize(channel.value(time));
        time += 1.0f / 60.0f;
        if (time > kSpan) time = 0.0f;
    }
    state.SetItemsProcessed(state.iterations() * kChannels);
    state.counters["seconds_per_value"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kChannels,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EnvelopeFrames)->Unit(benchmark::kMicrosecond);

void BM_EnvelopeRandomTimes(benchmark::State& state) {
    std::vector<Vexa::Interpolation> channels = makeChannels();
    std::mt19937 random(99);
    std::uniform_real_distribution<float> when(0.0f, kSpan);
    std::vector<float> times(4096);
    for (float& t : times) t = when(random);
    std::size_t next = 0;
    for (auto _ : state) {
        for (Vexa::Interpolation& channel : channels) {
            benchmark::DoNotOptimize(channel.value(times[next]));
            next = (next + 1) & (times.size() - 1);
        }
    }
    state.SetItemsProcessed(state.iterations() * kChannels);
    state.counters["seconds_per_value"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kChannels,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EnvelopeRandomTimes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
