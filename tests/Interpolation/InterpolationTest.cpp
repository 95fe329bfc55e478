#include "Interpolation/Interpolation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Parser/Exceptions.h"

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

// Three smooth keys, so the curve is not a straight line and a wrong
// mapping of times outside the keys shows.
const std::vector<KeySpec> kBent = {{0, 0}, {1, 3}, {2, 4}};

TEST(Interpolation, TwoPlainKeysMakeTheStraightLine) {
    I channel = makeChannel({{0, 0}, {1, 10}});
    EXPECT_FLOAT_EQ(channel.value(0.5f), 5.0f);
    EXPECT_FLOAT_EQ(channel.value(0.25f), 2.5f);
    for (const I::Key& k : channel.keys()) {
        EXPECT_FLOAT_EQ(k.inTangent, 10.0f);
        EXPECT_FLOAT_EQ(k.outTangent, 10.0f);
    }
}

TEST(Interpolation, BehavioursOutsideTheKeysMapOntoTheCurve) {
    struct Row {
        const char* name;
        int32_t pre, post;
        float t;
        float insideTime;  // where the plain curve has the expected value
        float offset;      // added to it
    };
    const Row rows[] = {
        {"post CONSTANT holds the last value", I::kReset, I::kConstant, 5.0f, 2.0f, 0.0f},
        {"pre CONSTANT holds the first value", I::kConstant, I::kReset, -3.0f, 0.0f, 0.0f},
        {"post CYCLE", I::kReset, I::kCycle, 5.0f, 1.0f, 0.0f},
        {"post CYCLE far out", I::kReset, I::kCycle, 1000.5f, 0.5f, 0.0f},
        {"pre CYCLE", I::kCycle, I::kReset, -0.5f, 1.5f, 0.0f},
        {"pre CYCLE two periods back", I::kCycle, I::kReset, -3.25f, 0.75f, 0.0f},
        {"post CYCLE_RELATIVE", I::kReset, I::kCycleRelative, 5.0f, 1.0f, 8.0f},
        {"pre CYCLE_RELATIVE", I::kCycleRelative, I::kReset, -0.5f, 1.5f, -4.0f},
        {"pre CYCLE_RELATIVE two periods back", I::kCycleRelative, I::kReset, -3.5f, 0.5f, -8.0f},
        {"post OSCILLATE runs back", I::kReset, I::kOscillate, 2.5f, 1.5f, 0.0f},
        {"post OSCILLATE at the far end", I::kReset, I::kOscillate, 4.0f, 0.0f, 0.0f},
        {"post OSCILLATE runs forward again", I::kReset, I::kOscillate, 5.0f, 1.0f, 0.0f},
        {"pre OSCILLATE jumps at the first key", I::kOscillate, I::kReset, -0.5f, 1.5f, 0.0f},
        {"pre OSCILLATE second run", I::kOscillate, I::kReset, -2.5f, 0.5f, 0.0f},
    };
    I reference = makeChannel(kBent);
    for (const Row& row : rows) {
        I channel = makeChannel(kBent, row.pre, row.post);
        EXPECT_NEAR(channel.value(row.t), reference.value(row.insideTime) + row.offset, 1e-5)
            << row.name;
    }
}

TEST(Interpolation, ResetAndLinearBehaviours) {
    // First key's tangent: chord 0->1 = 3; last key's: chord 1->2 = 1.
    struct Row {
        int32_t pre, post;
        float t, value, slope;
    };
    const Row rows[] = {
        {I::kReset, I::kReset, -1.0f, 0.0f, 0.0f},
        {I::kReset, I::kReset, 3.0f, 0.0f, 0.0f},
        {I::kLinearOut, I::kLinearOut, -1.0f, -3.0f, 3.0f},
        {I::kLinearOut, I::kLinearOut, 4.0f, 6.0f, 1.0f},
        {I::kConstant, I::kConstant, 4.0f, 4.0f, 0.0f},
    };
    for (const Row& row : rows) {
        I channel = makeChannel(kBent, row.pre, row.post);
        EXPECT_FLOAT_EQ(channel.value(row.t), row.value) << row.t;
        EXPECT_FLOAT_EQ(channel.derivative(row.t), row.slope) << row.t;
    }
}

TEST(Interpolation, StepAndLinearDegrees) {
    struct Row {
        int32_t degree;
        float t, expected;
    };
    const Row rows[] = {
        {0, 0.0f, 1.0f}, {0, 0.5f, 1.0f}, {0, 0.999f, 1.0f}, {0, 1.0f, 5.0f}, {0, 1.5f, 5.0f},
        {0, 2.5f, 2.0f}, {1, 0.5f, 3.0f}, {1, 1.5f, 3.5f},   {1, 1.0f, 5.0f},
    };
    for (const Row& row : rows) {
        I channel;
        channel.setDegree(row.degree);
        channel.addKey(0, 1, I::kSmooth);
        channel.addKey(1, 5, I::kSmooth);
        channel.addKey(2, 2, I::kSmooth);
        channel.finish();
        EXPECT_FLOAT_EQ(channel.value(row.t), row.expected)
            << "degree " << row.degree << " at " << row.t;
    }
}

TEST(Interpolation, StepValueAtAKeyDoesNotDependOnTheLastEvaluation) {
    I channel;
    channel.setDegree(0);
    channel.addKey(0, 1, I::kSmooth);
    channel.addKey(1, 5, I::kSmooth);
    channel.addKey(2, 2, I::kSmooth);
    channel.finish();
    EXPECT_FLOAT_EQ(channel.value(0.5f), 1.0f);  // caches the first segment
    EXPECT_FLOAT_EQ(channel.value(1.0f), 5.0f);
    EXPECT_FLOAT_EQ(channel.value(1.5f), 5.0f);  // caches the second segment
    EXPECT_FLOAT_EQ(channel.value(1.0f), 5.0f);
    EXPECT_FLOAT_EQ(channel.value(0.999f), 1.0f);
}

TEST(Interpolation, DegreeAppliesToSegmentsBeginningAtLaterKeys) {
    I channel;
    channel.addKey(0, 0, I::kSmooth);
    channel.setDegree(0);  // the segment from key 0 is a step
    channel.addKey(1, 10, I::kSmooth);
    channel.setDegree(1);
    channel.addKey(2, 20, I::kSmooth);
    channel.finish();
    EXPECT_EQ(channel.keys()[0].degree, 0);
    EXPECT_FLOAT_EQ(channel.value(0.5f), 0.0f);
    EXPECT_FLOAT_EQ(channel.value(1.5f), 15.0f);
}

TEST(Interpolation, InvalidDegreeIsRefused) {
    for (int32_t degree : {2, -1, 4}) {
        I channel;
        try {
            channel.setDegree(degree);
            ADD_FAILURE() << degree;
        } catch (const FatalParseException& e) {
            EXPECT_EQ(e.message(), "Degree Error, Error error...");
            EXPECT_STREQ(e.unit(), "Interpolation/Interpolation");
        }
    }
}

TEST(Interpolation, SmoothInteriorKeyTakesTheSlopeThroughItsNeighbours) {
    I channel = makeChannel({{0, 0}, {1, 5}, {3, 5}});
    const auto& k = channel.keys();
    EXPECT_FLOAT_EQ(k[0].outTangent, 5.0f);
    EXPECT_FLOAT_EQ(k[1].inTangent, 5.0f / 3.0f);
    EXPECT_FLOAT_EQ(k[1].outTangent, 5.0f / 3.0f);
    EXPECT_FLOAT_EQ(k[2].inTangent, 0.0f);
    // The Hermite segment meets the keys with these slopes.
    EXPECT_NEAR(channel.derivative(1.0f), 5.0f / 3.0f, 1e-5);
    EXPECT_FLOAT_EQ(channel.value(1.0f), 5.0f);
    EXPECT_FLOAT_EQ(channel.value(3.0f), 5.0f);
}

TEST(Interpolation, TcbTangentsBlendTheChordSlopes) {
    // Key 1 sits between chords of slope 5 (arriving) and 0 (leaving).
    struct Row {
        float tension, continuity, bias;
        float in, out;
    };
    const Row rows[] = {
        {1, 0, 0, 0.0f, 0.0f},   // full tension flattens the key
        {0, 0, 0, 2.5f, 2.5f},   // the average of the chords
        {0, 0, 1, 5.0f, 5.0f},   // bias toward the arriving chord
        {0, 0, -1, 0.0f, 0.0f},  // bias toward the leaving chord
        {0, 1, 0, 5.0f, 0.0f},   // continuity 1 keeps each side's chord
        {0, -1, 0, 0.0f, 5.0f},  // continuity -1 swaps them
        {0.5f, 0, 0, 1.25f, 1.25f},
    };
    for (const Row& row : rows) {
        I channel;
        channel.addKey(0, 0, I::kSmooth);
        channel.addTcbKey(1, 5, row.tension, row.continuity, row.bias);
        channel.addKey(2, 5, I::kSmooth);
        channel.finish();
        const I::Key& k = channel.keys()[1];
        EXPECT_FLOAT_EQ(k.inTangent, row.in) << row.tension << " " << row.continuity << " " << row.bias;
        EXPECT_FLOAT_EQ(k.outTangent, row.out) << row.tension << " " << row.continuity << " " << row.bias;
    }
}

TEST(Interpolation, TcbParametersBelongToTheKeyTheyWereGivenWith) {
    // The next TCB key's parameters must not reach the previous TCB key.
    I channel;
    channel.addKey(0, 0, I::kSmooth);
    channel.addTcbKey(1, 5, 1, 0, 0);
    channel.addTcbKey(2, 5, 0, 0, 0);
    channel.addKey(3, 0, I::kSmooth);
    channel.finish();
    EXPECT_FLOAT_EQ(channel.keys()[1].inTangent, 0.0f);
    EXPECT_FLOAT_EQ(channel.keys()[2].inTangent, -2.5f);
}

TEST(Interpolation, FixedTangentsAreKeptAndFollowed) {
    I channel;
    channel.addKey(0, 0, I::kSmooth);
    channel.addFixedKey(1, 5, -1, 3);
    channel.addFixedKey(2, 5, 2);
    channel.finish();
    const auto& k = channel.keys();
    EXPECT_FLOAT_EQ(k[1].inTangent, -1.0f);
    EXPECT_FLOAT_EQ(k[1].outTangent, 3.0f);
    EXPECT_FLOAT_EQ(k[2].inTangent, 2.0f);
    EXPECT_FLOAT_EQ(k[2].outTangent, 2.0f);
    EXPECT_NEAR(channel.derivative(0.99999f), -1.0f, 1e-3);
    EXPECT_NEAR(channel.derivative(1.0f), 3.0f, 1e-5);
    EXPECT_NEAR(channel.derivative(2.0f), 2.0f, 1e-5);
}

TEST(Interpolation, StepOrLinearSideOverridesTheKeyMode) {
    // Linear into a smooth key: the key continues the arriving slope.
    I channel;
    channel.addKey(0, 0, I::kSmooth);
    channel.setDegree(1);
    channel.addKey(1, 5, I::kSmooth);
    channel.setDegree(3);
    channel.addKey(3, 5, I::kSmooth);
    channel.finish();
    EXPECT_FLOAT_EQ(channel.keys()[1].inTangent, 5.0f);
    EXPECT_FLOAT_EQ(channel.keys()[1].outTangent, 5.0f);

    // A fixed key after a step: the step side is flat, the fixed side kept.
    I fixed;
    fixed.addKey(0, 0, I::kSmooth);
    fixed.setDegree(0);
    fixed.addFixedKey(1, 5, 7);
    fixed.setDegree(3);
    fixed.addKey(2, 0, I::kSmooth);
    fixed.finish();
    EXPECT_FLOAT_EQ(fixed.keys()[1].inTangent, 0.0f);
    EXPECT_FLOAT_EQ(fixed.keys()[1].outTangent, 7.0f);
}

TEST(Interpolation, FlatKeysHaveZeroTangents) {
    I channel;
    channel.addKey(0, 0, I::kFlat);
    channel.addKey(1, 5, I::kFlat);
    channel.addKey(2, 0, I::kFlat);
    channel.finish();
    for (const I::Key& k : channel.keys()) {
        EXPECT_EQ(k.inTangent, 0.0f);
        EXPECT_EQ(k.outTangent, 0.0f);
    }
}

TEST(Interpolation, SmoothWrapJoinsTheLastKeyToTheFirst) {
    struct Row {
        std::vector<KeySpec> keys;
        float tangent;
    };
    const Row rows[] = {
        {{{0, 0}, {1, 2}, {2, 0}}, 0.0f},
        {{{0, 0}, {1, 3}, {3, 4}}, 4.0f / 3.0f},  // (3 + 1) / (1 + 2)
        {{{0, 1}, {2, 5}}, 2.0f},
    };
    for (const Row& row : rows) {
        I channel;
        channel.setSmoothWrap(true);
        for (const KeySpec& k : row.keys) channel.addKey(k.time, k.value, I::kSmooth);
        channel.finish();
        const auto& k = channel.keys();
        EXPECT_FLOAT_EQ(k.back().inTangent, row.tangent);
        EXPECT_FLOAT_EQ(k.back().outTangent, row.tangent);
        EXPECT_FLOAT_EQ(k.front().inTangent, row.tangent);
        EXPECT_FLOAT_EQ(k.front().outTangent, row.tangent);
    }
}

TEST(Interpolation, KeysAtTheSameTimeGiveAConstantSegmentAndFlatSlopes) {
    I channel = makeChannel({{0, 1}, {0.0000005f, 7}}, I::kCycle, I::kOscillate);
    for (const I::Key& k : channel.keys()) EXPECT_EQ(k.inTangent, 0.0f);
    EXPECT_FLOAT_EQ(channel.value(0.0f), 1.0f);
    EXPECT_EQ(channel.derivative(0.0f), 0.0f);
    // Repeating over a range this short holds the end values.
    EXPECT_FLOAT_EQ(channel.value(-5.0f), 1.0f);
    EXPECT_FLOAT_EQ(channel.value(5.0f), 7.0f);
    EXPECT_EQ(channel.derivative(5.0f), 0.0f);

    I middle = makeChannel({{0, 0}, {1, 5}, {1, 9}, {2, 9}});
    EXPECT_FLOAT_EQ(middle.value(1.0f), 9.0f);
    EXPECT_TRUE(std::isfinite(middle.value(0.5f)));
    EXPECT_TRUE(std::isfinite(middle.derivative(0.5f)));
}

TEST(Interpolation, FewerThanTwoKeys) {
    const int32_t behaviours[] = {I::kReset,         I::kConstant,  I::kLinearOut, I::kCycle,
                                  I::kCycleRelative, I::kOscillate, 9};
    I empty;
    empty.finish();
    for (int32_t b : behaviours) {
        empty.setPre(b);
        empty.setPost(b);
        for (float t : {-1.0f, 0.0f, 1.0f}) {
            EXPECT_EQ(empty.value(t), 0.0f);
            EXPECT_EQ(empty.derivative(t), 0.0f);
        }
    }

    // One key: its value, under every behaviour that keeps a value.
    for (int32_t b : behaviours) {
        I single = makeChannel({{1, 4}}, b, b);
        EXPECT_FLOAT_EQ(single.value(1.0f), 4.0f) << b;
        const float expected = b == I::kReset ? 0.0f : 4.0f;
        EXPECT_FLOAT_EQ(single.value(-2.0f), expected) << b;
        EXPECT_FLOAT_EQ(single.value(3.0f), expected) << b;
        EXPECT_EQ(single.derivative(3.0f), 0.0f) << b;
    }

    // A single fixed key extends as a line with "LINEAR".
    I line;
    line.setPre(I::kLinearOut);
    line.setPost(I::kLinearOut);
    line.addFixedKey(1, 4, 2);
    line.finish();
    EXPECT_FLOAT_EQ(line.value(3.0f), 8.0f);
    EXPECT_FLOAT_EQ(line.value(0.0f), 2.0f);
    EXPECT_FLOAT_EQ(line.derivative(0.0f), 2.0f);
}

// Derivative against central differences at times away from every key and
// every period boundary (keys at integers, so those are all integers).
TEST(Interpolation, DerivativeMatchesFiniteDifferences) {
    const int32_t behaviours[] = {I::kReset,         I::kConstant,  I::kLinearOut, I::kCycle,
                                  I::kCycleRelative, I::kOscillate};
    for (int32_t pre : behaviours) {
        for (int32_t post : behaviours) {
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
                    const float t = static_cast<float>(n) + f;
                    const float h = 1e-3f;
                    const float numeric = (channel.value(t + h) - channel.value(t - h)) / (2 * h);
                    EXPECT_NEAR(channel.derivative(t), numeric, 2e-2)
                        << "pre " << pre << " post " << post << " t " << t;
                }
            }
        }
    }
}

TEST(Interpolation, CacheFollowsKeysAddedAfterAnEvaluation) {
    I channel;
    channel.addKey(0, 0, I::kSmooth);
    channel.addKey(1, 10, I::kSmooth);
    channel.finish();
    EXPECT_FLOAT_EQ(channel.value(1.0f), 10.0f);
    channel.addKey(2, 0, I::kLinear);
    channel.finish();
    EXPECT_FLOAT_EQ(channel.value(2.0f), 0.0f);
    EXPECT_LT(channel.value(1.5f), 10.0f);
}

TEST(Interpolation, EvaluationOrderDoesNotChangeResults) {
    std::vector<KeySpec> keys;
    for (int i = 0; i < 40; ++i)
        keys.push_back({static_cast<float>(i) * 0.5f, static_cast<float>((i * 7) % 11)});
    I walked = makeChannel(keys, I::kCycle, I::kOscillate);
    std::vector<float> times;
    for (int i = 0; i < 400; ++i) times.push_back(-10.0f + static_cast<float>((i * 37) % 400) * 0.1f);
    for (float t : times) {
        I fresh = makeChannel(keys, I::kCycle, I::kOscillate);
        EXPECT_EQ(walked.value(t), fresh.value(t)) << t;
        EXPECT_EQ(walked.derivative(t), fresh.derivative(t)) << t;
    }
}

// The cubic in Hermite basis form, its segment found by a linear scan: an
// independent account of which segment applies and what it evaluates to.
double hermiteReference(const std::vector<I::Key>& keys, double t) {
    std::size_t k = 0;
    while (k + 2 < keys.size() && keys[k + 1].time <= t) ++k;
    const I::Key& a = keys[k];
    const I::Key& b = keys[k + 1];
    const double d = static_cast<double>(b.time) - a.time;
    const double u = (t - a.time) / d;
    const double h00 = 2 * u * u * u - 3 * u * u + 1, h10 = u * u * u - 2 * u * u + u;
    const double h01 = -2 * u * u * u + 3 * u * u, h11 = u * u * u - u * u;
    return h00 * a.value + h10 * d * a.outTangent + h01 * b.value + h11 * d * b.inTangent;
}

TEST(Interpolation, UnevenKeysFindTheirSegments) {
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
}

// Keys a script can produce but should not: nothing may crash or hang, and
// finite keys out of order still give finite values.
TEST(Interpolation, MalformedKeysNeverCrashOrHang) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<KeySpec>> keySets = {
        {{2, 0}, {1, 4}, {0, 1}},          // reversed
        {{0, 0}, {3, 1}, {1, 5}, {2, 2}},  // shuffled
        {{1, 1}, {1, 2}, {1, 3}},          // all at one time
        {{0, 0}, {nan, 1}, {2, 2}},
        {{0, nan}, {1, 1}},
        {{-inf, 0}, {0, 1}, {inf, 2}},
        {{0, 0}, {1, inf}, {2, 0}},
        {{0, 0}, {1e-30f, 1}},
        {{-3e38f, 0}, {3e38f, 1}},
    };
    const float times[] = {nan, -inf, inf, -1e30f, -1.0f, 0.0f, 0.5f, 1.5f, 3.0f, 1e30f};
    for (std::size_t s = 0; s < keySets.size(); ++s) {
        for (int32_t pre = 0; pre <= 6; ++pre) {
            for (int32_t post = 0; post <= 6; ++post) {
                I channel = makeChannel(keySets[s], pre, post);
                for (float t : times) {
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

}  // namespace
}  // namespace Vexa
