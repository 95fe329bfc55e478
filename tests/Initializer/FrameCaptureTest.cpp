#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "Initializer/FrameCapture.h"

namespace Vexa {
namespace {

// Times of the frames a clock shows, asked the way the player asks.
std::vector<float> shownTimes(FixedStepClock& clock, int limit = 1000) {
    std::vector<float> times;
    clock.start();
    for (int i = 0; i < limit; ++i) {
        const float t = clock.getTime();
        if (clock.isFinished()) break;
        times.push_back(t);
    }
    return times;
}

TEST(FixedStepClock, ShowsFramesAtStartPlusNOverFpsUpToStopWithoutDrift) {
    FixedStepClock clock(1.0, 2.0, 4.0, -1);
    EXPECT_EQ(clock.frameCount(), 5);
    EXPECT_EQ(shownTimes(clock), (std::vector<float>{1.0f, 1.25f, 1.5f, 1.75f, 2.0f}));

    FixedStepClock ntsc(0.0, 10.0, 29.97, -1);
    const std::vector<float> times = shownTimes(ntsc, 100000);
    EXPECT_EQ(ntsc.frameCount(), 300);
    ASSERT_EQ(times.size(), 300u);
    EXPECT_FLOAT_EQ(times.back(), static_cast<float>(299 / 29.97));
}

TEST(FixedStepClock, FrameLimitAndEmptyRanges) {
    FixedStepClock limited(0.0, 100.0, 25.0, 3);
    EXPECT_EQ(limited.frameCount(), 3);
    EXPECT_EQ(shownTimes(limited).size(), 3u);

    FixedStepClock backwards(5.0, 1.0, 25.0, -1);
    EXPECT_EQ(backwards.frameCount(), 0);
    EXPECT_TRUE(shownTimes(backwards).empty());

    FixedStepClock endless(0.0, std::numeric_limits<double>::infinity(), 25.0, -1);
    EXPECT_EQ(endless.frameCount(), -1);
    EXPECT_EQ(shownTimes(endless, 50).size(), 50u);
}

TEST(CaptureArguments, ReadsOptionsAndScriptText) {
    const char* argv[] = {"vexa-capture", "--fps", "29.97", "--frames", "10", "--from", "2.5",
                          "--out",        "shots", "--",    "width",    "=",  "800"};
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(parseCaptureArguments(13, argv, options, error)) << error;
    EXPECT_DOUBLE_EQ(options.fps, 29.97);
    EXPECT_EQ(options.frames, 10);
    EXPECT_TRUE(options.hasFrom);
    EXPECT_DOUBLE_EQ(options.from, 2.5);
    EXPECT_EQ(options.out, "shots");
    EXPECT_EQ(options.scriptArguments, (std::vector<std::string>{"width", "=", "800"}));
}

TEST(CaptureArguments, RefusesBadValues) {
    const std::vector<std::vector<const char*>> cases = {
        {"vexa-capture", "--fps", "0"},     {"vexa-capture", "--fps", "abc"},
        {"vexa-capture", "--frames", "-1"}, {"vexa-capture", "--fps"},
        {"vexa-capture", "--bogus"},        {"vexa-capture", "--out"},
    };
    for (const auto& c : cases) {
        CaptureOptions options;
        std::string error;
        EXPECT_FALSE(parseCaptureArguments(static_cast<int>(c.size()), c.data(), options, error))
            << c[1];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace Vexa
