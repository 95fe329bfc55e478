#include "Interpolation/Interpolation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace Vexa {
namespace {

using I = Interpolation;

struct KeySpec {
    float time;
    float value;
};

I makeChannel(const std::vector<KeySpec>& keys, int32_t pre = I::kConstant,
              int32_t post = I::kConstant) {
    I channel;
    channel.setPre(pre);
    channel.setPost(post);
    for (const KeySpec& k : keys) channel.addKey(k.time, k.value, I::kSmooth);
    channel.finish();
    return channel;
}

TEST(Interpolation, BehavioursOutsideTheKeys) {
    // Three smooth keys, so a wrong time mapping shows. Chord slopes: 3 into
    // the first key, 1 out of the last.
    const std::vector<KeySpec> keys = {{0, 0}, {1, 3}, {2, 4}};
    struct Row {
        int32_t pre, post;
        float t;
        float insideTime, offset;  // expected: curve(insideTime) + offset
    };
    const Row rows[] = {
        {I::kReset, I::kConstant, 5.0f, 2.0f, 0},      {I::kConstant, I::kReset, -3.0f, 0.0f, 0},
        {I::kReset, I::kCycle, 5.0f, 1.0f, 0},         {I::kReset, I::kCycle, 1000.5f, 0.5f, 0},
        {I::kCycle, I::kReset, -0.5f, 1.5f, 0},        {I::kCycle, I::kReset, -3.25f, 0.75f, 0},
        {I::kReset, I::kCycleRelative, 5.0f, 1.0f, 8}, {I::kCycleRelative, I::kReset, -0.5f, 1.5f, -4},
        {I::kCycleRelative, I::kReset, -3.5f, 0.5f, -8},
        {I::kReset, I::kOscillate, 2.5f, 1.5f, 0},     {I::kReset, I::kOscillate, 4.0f, 0.0f, 0},
        {I::kReset, I::kOscillate, 5.0f, 1.0f, 0},
        {I::kOscillate, I::kReset, -0.5f, 1.5f, 0},  // jumps at the first key
        {I::kOscillate, I::kReset, -2.5f, 0.5f, 0},
    };
    I reference = makeChannel(keys);
    for (const Row& row : rows) {
        I channel = makeChannel(keys, row.pre, row.post);
        EXPECT_NEAR(channel.value(row.t), reference.value(row.insideTime) + row.offset, 1e-5)
            << "pre " << row.pre << " post " << row.post << " t " << row.t;
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
        {3, 3, 0.5f, 3.4375f}, {0, 3, 0.0f, 1.0f},   {0, 3, 0.999f, 1.0f}, {0, 0, 1.0f, 5.0f},
        {0, 0, 1.5f, 5.0f},    {0, 0, 2.5f, 2.0f},   {1, 1, 0.5f, 3.0f},   {1, 1, 1.5f, 3.5f},
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
        // A step at a key time must not depend on the cached segment.
        for (float before : {row.t - 0.6f, row.t + 0.6f, row.t})
            (void)channel.value(before);
        EXPECT_FLOAT_EQ(channel.value(row.t), row.expected)
            << row.firstDegree << "/" << row.secondDegree << " at " << row.t;
    }
}

TEST(Interpolation, TangentRules) {
    // Each case builds a channel and names one key and its expected tangents.
    struct Row {
        const char* name;
        std::function<void(I&)> build;
        std::size_t key;
        float in, out;
    };
    const Row rows[] = {
        {"two plain keys get the chord", [](I& c) { c.addKey(0, 0, 2); c.addKey(1, 10, 2); }, 0, 10, 10},
        {"smooth interior: slope through the neighbours",
         [](I& c) { c.addKey(0, 0, 2); c.addKey(1, 5, 2); c.addKey(3, 5, 2); }, 1, 5 / 3.0f, 5 / 3.0f},
        {"flat", [](I& c) { c.addKey(0, 0, 0); c.addKey(1, 5, 0); c.addKey(2, 0, 0); }, 1, 0, 0},
        {"tension 1", [](I& c) { c.addKey(0, 0, 2); c.addTcbKey(1, 5, 1, 0, 0); c.addKey(2, 5, 2); }, 1, 0, 0},
        {"TCB average", [](I& c) { c.addKey(0, 0, 2); c.addTcbKey(1, 5, 0, 0, 0); c.addKey(2, 5, 2); }, 1, 2.5f, 2.5f},
        {"bias 1", [](I& c) { c.addKey(0, 0, 2); c.addTcbKey(1, 5, 0, 0, 1); c.addKey(2, 5, 2); }, 1, 5, 5},
        {"continuity 1", [](I& c) { c.addKey(0, 0, 2); c.addTcbKey(1, 5, 0, 1, 0); c.addKey(2, 5, 2); }, 1, 5, 0},
        {"continuity -1", [](I& c) { c.addKey(0, 0, 2); c.addTcbKey(1, 5, 0, -1, 0); c.addKey(2, 5, 2); }, 1, 0, 5},
        {"TCB parameters stay with their key",
         [](I& c) { c.addKey(0, 0, 2); c.addTcbKey(1, 5, 1, 0, 0); c.addTcbKey(2, 5, 0, 0, 0); c.addKey(3, 0, 2); },
         2, -2.5f, -2.5f},
        {"fixed pair", [](I& c) { c.addKey(0, 0, 2); c.addFixedKey(1, 5, -1, 3); c.addKey(2, 5, 2); }, 1, -1, 3},
        {"fixed last", [](I& c) { c.addKey(0, 0, 2); c.addFixedKey(1, 5, 2); }, 1, 2, 2},
        {"linear into smooth continues the slope",
         [](I& c) { c.addKey(0, 0, 2); c.setDegree(1); c.addKey(1, 5, 2); c.setDegree(3); c.addKey(3, 5, 2); },
         1, 5, 5},
        {"step into fixed: flat in, fixed out",
         [](I& c) { c.addKey(0, 0, 2); c.setDegree(0); c.addFixedKey(1, 5, 7); c.setDegree(3); c.addKey(2, 0, 2); },
         1, 0, 7},
        {"linear out of fixed overrides it",
         [](I& c) { c.addKey(0, 0, 2); c.addFixedKey(1, 5, 7); c.setDegree(1); c.addKey(2, 0, 2); }, 1, 7, -5},
        {"equal times give flat slopes", [](I& c) { c.addKey(0, 1, 2); c.addKey(5e-7f, 7, 2); }, 0, 0, 0},
        {"wrap: last joins the first",
         [](I& c) { c.setSmoothWrap(true); c.addKey(0, 0, 2); c.addKey(1, 3, 2); c.addKey(3, 4, 2); },
         2, 4 / 3.0f, 4 / 3.0f},
        {"wrap: first takes the last's tangent",
         [](I& c) { c.setSmoothWrap(true); c.addKey(0, 0, 2); c.addKey(1, 3, 2); c.addKey(3, 4, 2); },
         0, 4 / 3.0f, 4 / 3.0f},
        {"wrap over two keys", [](I& c) { c.setSmoothWrap(true); c.addKey(0, 1, 2); c.addKey(2, 5, 2); }, 0, 2, 2},
    };
    for (const Row& row : rows) {
        I channel;
        row.build(channel);
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
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int32_t b = I::kReset; b <= 6; ++b) {
        I empty = makeChannel({}, b, b);
        EXPECT_EQ(empty.value(1.0f), 0.0f);
        EXPECT_EQ(empty.derivative(1.0f), 0.0f);
        I single = makeChannel({{1, 4}}, b, b);
        EXPECT_FLOAT_EQ(single.value(1.0f), 4.0f);
        EXPECT_FLOAT_EQ(single.value(3.0f), b == I::kReset ? 0.0f : 4.0f) << b;
        I same = makeChannel({{0, 1}, {5e-7f, 7}}, b, b);
        EXPECT_FLOAT_EQ(same.value(0.0f), 1.0f);
        if (b != I::kReset && b <= I::kOscillate) {
            EXPECT_FLOAT_EQ(same.value(5.0f), 7.0f) << b;
        }
    }
    I line;
    line.setPost(I::kLinearOut);
    line.addFixedKey(1, 4, 2);
    line.finish();
    EXPECT_FLOAT_EQ(line.value(3.0f), 8.0f);

    const std::vector<std::vector<KeySpec>> keySets = {
        {{2, 0}, {1, 4}, {0, 1}},          {{0, 0}, {3, 1}, {1, 5}, {2, 2}},
        {{1, 1}, {1, 2}, {1, 3}},          {{0, 0}, {nan, 1}, {2, 2}},
        {{0, nan}, {1, 1}},                {{-inf, 0}, {0, 1}, {inf, 2}},
        {{0, 0}, {1e-30f, 1}},             {{-3e38f, 0}, {3e38f, 1}},
    };
    for (std::size_t s = 0; s < keySets.size(); ++s) {
        for (int32_t pre = 0; pre <= 6; ++pre) {
            for (int32_t post = 0; post <= 6; ++post) {
                I channel = makeChannel(keySets[s], pre, post);
                for (float t : {nan, -inf, inf, -1e30f, -1.0f, 0.5f, 1.5f, 3.0f, 1e30f}) {
                    const float v = channel.value(t);
                    const float d = channel.derivative(t);
                    const bool extrapolates = pre == I::kLinearOut || post == I::kLinearOut ||
                                              pre > I::kOscillate || post > I::kOscillate;
                    if (s < 3 && std::isfinite(t) && !extrapolates) {
                        EXPECT_TRUE(std::isfinite(v) && std::isfinite(d))
                            << "set " << s << " pre " << pre << " post " << post << " t " << t;
                    }
                }
            }
        }
    }
}

// Central differences at times away from every key and period boundary
// (keys at integers, so those are all integers).
TEST(Interpolation, DerivativeMatchesFiniteDifferences) {
    for (int32_t pre = I::kReset; pre <= I::kOscillate; ++pre) {
        for (int32_t post = I::kReset; post <= I::kOscillate; ++post) {
            I channel;
            channel.setPre(pre);
            channel.setPost(post);
            channel.addKey(0, 0, I::kSmooth);
            channel.addTcbKey(1, 3, 0.2f, 0.3f, -0.4f);
            channel.setDegree(1);
            channel.addFixedKey(2, -1, 0.5f, -2);
            channel.addKey(3, 2, I::kLinear);
            channel.setDegree(3);
            channel.addKey(4, 1, I::kSmooth);
            channel.finish();
            for (int n = -9; n <= 12; ++n) {
                for (float f : {0.2f, 0.5f, 0.8f}) {
                    const float t = static_cast<float>(n) + f, h = 1e-3f;
                    const float numeric = (channel.value(t + h) - channel.value(t - h)) / (2 * h);
                    EXPECT_NEAR(channel.derivative(t), numeric, 2e-2)
                        << "pre " << pre << " post " << post << " t " << t;
                }
            }
        }
    }
}

// The cubic in Hermite basis form, its segment found by a linear scan.
double hermiteReference(const std::vector<I::Key>& keys, double t) {
    std::size_t k = 0;
    while (k + 2 < keys.size() && keys[k + 1].time <= t) ++k;
    const I::Key& a = keys[k];
    const I::Key& b = keys[k + 1];
    const double d = static_cast<double>(b.time) - a.time, u = (t - a.time) / d;
    return (2 * u * u * u - 3 * u * u + 1) * a.value + (u * u * u - 2 * u * u + u) * d * a.outTangent +
           (-2 * u * u * u + 3 * u * u) * b.value + (u * u * u - u * u) * d * b.inTangent;
}

TEST(Interpolation, SegmentsFoundInAnyOrderOverUnevenKeys) {
    std::vector<KeySpec> keys;
    for (int i = 0; i < 30; ++i) {
        const float x = static_cast<float>(i);
        keys.push_back({0.01f * x * x * x, static_cast<float>((i * 5) % 7)});
    }
    I channel = makeChannel(keys);
    const float end = keys.back().time;
    for (int i = 0; i <= 997; ++i) {
        const float t = end * static_cast<float>((i * 331) % 997) / 997.0f;
        EXPECT_NEAR(channel.value(t), hermiteReference(channel.keys(), t), 2e-3) << t;
    }
    // Keys added after an evaluation replace the cached segment.
    channel.addKey(end + 1, 100, I::kLinear);
    channel.finish();
    EXPECT_FLOAT_EQ(channel.value(end + 1), 100.0f);
}

}  // namespace
}  // namespace Vexa
