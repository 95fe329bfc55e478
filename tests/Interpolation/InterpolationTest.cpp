#include "Interpolation/Interpolation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace Vexa {
namespace {

using I = Interpolation;

struct KeySpec {
    float time;
    float value;
};

I makeChannel(const std::vector<KeySpec>& keys, int32_t pre = I::kConstant,
              int32_t post = I::kConstant, int32_t degree = 3) {
    I channel;
    channel.setPre(pre);
    channel.setPost(post);
    channel.setDegree(degree);
    for (const KeySpec& k : keys) channel.addKey(k.time, k.value, I::kSmooth);
    channel.finish();
    return channel;
}

TEST(Interpolation, BehavioursOutsideTheKeys) {
    // Three smooth keys, so a wrong time mapping shows. Chord slopes: 3 into
    // the first key, 1 out of the last.
    const std::vector<KeySpec> keys = {{0, 0}, {1, 3}, {2, 4}};
    // The behaviour on both sides and a time; expected: the curve at
    // insideTime plus offset, and the curve's slope at slopeTime (if given).
    struct Row {
        int32_t behaviour;
        float t, insideTime, offset, slopeTime;
    };
    const int32_t C = I::kCycle, R = I::kCycleRelative, O = I::kOscillate;
    const Row rows[] = {
        {C, 5, 1, 0, 1},
        {C, 1000.5f, 0.5f, 0, 0.5f},
        {C, -0.5f, 1.5f, 0, 1.5f},
        {C, -3.25f, 0.75f, 0, 0.75f},
        {R, 5, 1, 8, 1},
        {R, -0.5f, 1.5f, -4, 1.5f},
        {R, -3.5f, 0.5f, -8, 0.5f},
        // Whole periods before the first key: the value is the first key's,
        // the slope the one arriving at the last key.
        {R, -2, 0, -4, 2},
        {C, -4, 2, 0, 2},
        {O, 2.5f, 1.5f, 0, NAN},
        {O, 4, 0, 0, NAN},
        {O, -2.5f, 0.5f, 0, NAN},
        {O, -0.5f, 1.5f, 0, NAN},  // jumps at the first key
    };
    for (const Row& row : rows) {
        I channel = makeChannel(keys, row.behaviour, row.behaviour), reference = makeChannel(keys);
        EXPECT_NEAR(channel.value(row.t), reference.value(row.insideTime) + row.offset, 1e-5)
            << row.behaviour << " at " << row.t;
        if (!std::isnan(row.slopeTime)) {
            EXPECT_NEAR(channel.derivative(row.t), reference.derivative(row.slopeTime), 1e-4)
                << row.behaviour << " at " << row.t;
        }
    }
    struct Plain {
        int32_t behaviour;
        float t, value, slope;
    };
    const Plain plain[] = {{I::kReset, -1, 0, 0},      {I::kReset, 3, 0, 0},
                           {I::kLinearOut, -1, -3, 3}, {I::kLinearOut, 4, 6, 1},
                           {I::kConstant, 4, 4, 0},    {I::kConstant, -4, 0, 0}};
    for (const Plain& row : plain) {
        I channel = makeChannel(keys, row.behaviour, row.behaviour);
        EXPECT_FLOAT_EQ(channel.value(row.t), row.value) << row.behaviour << " " << row.t;
        EXPECT_FLOAT_EQ(channel.derivative(row.t), row.slope) << row.behaviour << " " << row.t;
    }
}

TEST(Interpolation, StepAndLinearSegments) {
    // The degree in force when a key is added fixes the segment ending there.
    struct Row {
        int32_t firstDegree, secondDegree;
        float t, expected;
    };
    const Row rows[] = {
        {3, 3, 0.5f, 3.4375f}, {0, 3, 0.0f, 1.0f}, {0, 3, 0.999f, 1.0f}, {0, 0, 1.0f, 5.0f},
        {0, 0, 1.5f, 5.0f},    {0, 0, 2.5f, 2.0f}, {1, 1, 0.5f, 3.0f},   {1, 1, 1.5f, 3.5f},
        {0, 1, 1.5f, 3.5f},    {1, 0, 1.5f, 5.0f},
    };
    for (const Row& row : rows) {
        I channel;
        channel.addKey(0, 1, I::kSmooth);
        channel.setDegree(row.firstDegree);
        channel.addKey(1, 5, I::kSmooth);
        channel.setDegree(row.secondDegree);
        channel.addKey(2, 2, I::kSmooth);
        channel.finish();
        EXPECT_FLOAT_EQ(channel.value(row.t), row.expected)
            << row.firstDegree << "/" << row.secondDegree << " at " << row.t;
    }
}

// Reference segment search: bisection over the key times.
std::size_t bisection(const std::vector<I::Key>& keys, float t) {
    std::size_t lo = 0, hi = keys.size() - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        (keys[mid].time <= t ? lo : hi) = mid;
    }
    return lo;
}

// Steps valued by their key index reveal the segment found. Key layouts the
// time index must get exactly right: even, clustered (several segments
// starting in one slot), repeated times, and times that do not rise.
TEST(Interpolation, SegmentSearchMatchesBisection) {
    const std::vector<std::vector<float>> layouts = {
        {0, 1, 2, 3, 4, 5, 6, 7},
        {0, 0.001f, 0.002f, 0.003f, 5, 5.5f, 9, 9.0001f, 20},
        {1, 1, 1, 2, 2, 3, 3, 3},
        {0, 3, 1, 2, 5, 4},
        {0, 10},
    };
    for (const std::vector<float>& times : layouts) {
        std::vector<KeySpec> keys;
        for (std::size_t i = 0; i < times.size(); ++i)
            keys.push_back({times[i], static_cast<float>(i)});
        const I base = makeChannel(keys, 6, 6, 0);  // 6: the curve continues outside
        std::vector<float> queries = {-1.0f, 1e9f, NAN};
        for (float k : times) {
            for (float t : {k, std::nextafter(k, -1e9f), std::nextafter(k, 1e9f), k + 0.25f})
                queries.push_back(t);
        }
        for (float t : queries) {
            I channel = base;  // nothing cached yet
            EXPECT_EQ(channel.value(t), base.keys()[bisection(base.keys(), t)].value)
                << "t " << t << " keys from " << times[0] << " count " << times.size();
        }
    }
    // Keys added after an evaluation replace what was cached and indexed.
    I channel = makeChannel({{0, 1}, {1, 2}});
    EXPECT_EQ(channel.value(0.5f), 1.5f);
    channel.addKey(2, 100, I::kLinear);
    channel.finish();
    EXPECT_NE(channel.value(0.5f), 1.5f);
    EXPECT_EQ(channel.value(2.0f), 100.0f);
}

TEST(Interpolation, TangentRules) {
    // A key: time, value, tangent mode, then the tangents (FIXED) or tension,
    // continuity and bias (TCB), and the degree in force when it is added.
    struct K {
        float t, v;
        int32_t mode;
        float a = 0, b = 0, c = 0;
        int32_t degree = 3;
    };
    struct Row {
        const char* name;
        bool wrap;
        std::vector<K> keys;
        std::size_t key;  // the key checked, and its expected tangents
        float in, out;
    };
    const bool W = true;  // smooth wrap
    const Row rows[] = {
        {"chord of two plain keys", !W, {{0, 0, 2}, {1, 10, 2}}, 0, 10, 10},
        {"smooth: neighbours' slope", !W, {{0, 0, 2}, {1, 5, 2}, {3, 5, 2}}, 1, 5 / 3.f, 5 / 3.f},
        {"flat", !W, {{0, 0, 0}, {1, 5, 0}, {2, 0, 0}}, 1, 0, 0},
        {"tension 1", !W, {{0, 0, 2}, {1, 5, 4, 1, 0, 0}, {2, 5, 2}}, 1, 0, 0},
        // TCB blends the chords 5 and 2.
        {"TCB", !W, {{0, 0, 2}, {1, 5, 4, .5f, .5f, -.5f}, {2, 7, 2}}, 1, 1.3125f, 1.4375f},
        // TCB parameters stay with their key.
        {"TCB own", !W, {{0, 0, 2}, {1, 5, 4, 1, 0, 0}, {2, 5, 4}, {3, 0, 2}}, 2, -2.5f, -2.5f},
        {"fixed pair", !W, {{0, 0, 2}, {1, 5, 3, -1, 3}, {2, 5, 2}}, 1, -1, 3},
        {"fixed last", !W, {{0, 0, 2}, {1, 5, 3, 2, 2}}, 1, 2, 2},
        // Linear into smooth continues the slope.
        {"linear in", !W, {{0, 0, 2}, {1, 5, 2, 0, 0, 0, 1}, {3, 5, 2}}, 1, 5, 5},
        // Step into fixed: flat in, fixed out.
        {"step in", !W, {{0, 0, 2}, {1, 5, 3, 7, 7, 0, 0}, {2, 0, 2}}, 1, 0, 7},
        // Linear out of a fixed key overrides its out-tangent.
        {"linear out", !W, {{0, 0, 2}, {1, 5, 3, 7, 7}, {2, 0, 2, 0, 0, 0, 1}}, 1, 7, -5},
        {"equal times: flat", !W, {{0, 1, 2}, {5e-7f, 7, 2}}, 0, 0, 0},
        {"wrap: the last key", W, {{0, 0, 2}, {1, 3, 2}, {3, 4, 2}}, 2, 4 / 3.f, 4 / 3.f},
        {"wrap: the first key", W, {{0, 0, 2}, {1, 3, 2}, {3, 4, 2}}, 0, 4 / 3.f, 4 / 3.f},
        {"wrap over two keys", W, {{0, 1, 2}, {2, 5, 2}}, 0, 2, 2},
    };
    for (const Row& row : rows) {
        I channel;
        channel.setSmoothWrap(row.wrap);
        for (const K& k : row.keys) {
            channel.setDegree(k.degree);
            if (k.mode == I::kFixed)
                channel.addFixedKey(k.t, k.v, k.a, k.b);
            else if (k.mode == I::kTcb)
                channel.addTcbKey(k.t, k.v, k.a, k.b, k.c);
            else
                channel.addKey(k.t, k.v, k.mode);
        }
        channel.finish();
        const I::Key& k = channel.keys()[row.key];
        EXPECT_FLOAT_EQ(k.inTangent, row.in) << row.name;
        EXPECT_FLOAT_EQ(k.outTangent, row.out) << row.name;
    }
}

// Degenerate channels answer something defined: nothing, one key, a range
// too short to repeat, or keys a script should not write (never a crash or
// an endless loop; finite out-of-order keys stay finite).
TEST(Interpolation, DegenerateKeys) {
    const float nan = NAN, inf = INFINITY;
    for (int32_t b = I::kReset; b <= 6; ++b) {
        I empty = makeChannel({}, b, b), single = makeChannel({{1, 4}}, b, b);
        I same = makeChannel({{0, 1}, {5e-7f, 7}}, b, b);
        EXPECT_EQ(empty.value(1.0f) + empty.derivative(-1.0f) + empty.value(0.0f), 0.0f);
        EXPECT_EQ(single.value(1.0f), 4.0f);
        EXPECT_EQ(single.value(3.0f), b == I::kReset ? 0.0f : 4.0f) << b;
        EXPECT_EQ(same.value(0.0f), 1.0f);
        EXPECT_EQ(same.value(5.0f), b == I::kReset ? 0.0f : b <= I::kOscillate ? 7.0f : 1.0f) << b;
    }
    I line;  // one key with a fixed tangent still extrapolates along it
    line.setPost(I::kLinearOut);
    line.addFixedKey(1, 4, 2);
    line.finish();
    EXPECT_EQ(line.value(3.0f), 8.0f);
    const std::vector<std::vector<KeySpec>> keySets = {
        {{2, 0}, {1, 4}, {0, 1}}, {{0, 0}, {3, 1}, {1, 5}, {2, 2}},
        {{1, 1}, {1, 2}, {1, 3}}, {{0, 0}, {nan, 1}, {2, 2}},
        {{0, nan}, {1, 1}},       {{-inf, 0}, {0, 1}, {inf, 2}},
        {{0, 0}, {1e-30f, 1}},    {{-3e38f, 0}, {3e38f, 1}},
    };
    for (std::size_t s = 0; s < keySets.size(); ++s) {
        for (int32_t behaviours = 0; behaviours < 49; ++behaviours) {
            const int32_t pre = behaviours / 7, post = behaviours % 7;
            I channel = makeChannel(keySets[s], pre, post);
            const bool extrapolates = pre == I::kLinearOut || post == I::kLinearOut ||
                                      pre > I::kOscillate || post > I::kOscillate;
            for (float t : {nan, -inf, inf, -1e30f, -1.0f, 0.5f, 1.5f, 3.0f, 1e30f}) {
                const float v = channel.value(t), d = channel.derivative(t);
                if (s < 3 && std::isfinite(t) && !extrapolates) {
                    EXPECT_TRUE(std::isfinite(v) && std::isfinite(d)) << s << pre << post << t;
                }
            }
        }
    }
}

// Central differences at times away from every key and period boundary
// (keys at integers, so those are all integers).
TEST(Interpolation, DerivativeMatchesFiniteDifferences) {
    for (int32_t behaviours = 0; behaviours < 36; ++behaviours) {
        I channel;
        channel.setPre(behaviours / 6);
        channel.setPost(behaviours % 6);
        channel.addKey(0, 0, I::kSmooth);
        channel.addTcbKey(1, 3, 0.2f, 0.3f, -0.4f);
        channel.setDegree(1);
        channel.addFixedKey(2, -1, 0.5f, -2);
        channel.addKey(3, 2, I::kLinear);
        channel.setDegree(3);
        channel.addKey(4, 1, I::kSmooth);
        channel.finish();
        for (int n = -9; n <= 12; ++n) {
            for (float t : {n + 0.2f, n + 0.5f, n + 0.8f}) {
                const float numeric = (channel.value(t + 1e-3f) - channel.value(t - 1e-3f)) / 2e-3f;
                EXPECT_NEAR(channel.derivative(t), numeric, 2e-2) << behaviours << " at " << t;
            }
        }
    }
}

}  // namespace
}  // namespace Vexa
