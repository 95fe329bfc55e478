#include "Syncronizer/TimerSyncronizer.h"

#include <gtest/gtest.h>

#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::FakeCounter;

TEST(PerformanceTimer, MeasuresSecondsSinceConstructionOrReset) {
    FakeCounter counter;
    PerformanceTimer timer(&counter);
    EXPECT_DOUBLE_EQ(timer.elapsed(), 0.0);
    counter.advance(1.25);
    EXPECT_DOUBLE_EQ(timer.elapsed(), 1.25);
    timer.reset();
    counter.advance(0.5);
    EXPECT_DOUBLE_EQ(timer.elapsed(), 0.5);
}

// One step of a scenario: move the counter, optionally act on the clock,
// then read it.
enum class Action { None, Start, Pause, Stop };
struct Step {
    double advance;
    Action action;
    float expectedTime;
    bool expectFinished;
    bool expectPaused;
};
struct Scenario {
    const char* name;
    float speed, start, stop;
    std::vector<Step> steps;
};

TEST(TimerSyncronizer, FollowsStartPauseResumeStopAndRange) {
    const std::vector<Scenario> scenarios = {
        {"reads zero before start", 1, 0, 1000000,
         {{0.0, Action::None, 0.0f, true, false}, {3.0, Action::None, 0.0f, true, false}}},
        {"defaults run one second per second from zero", 1, 0, 1000000,
         {{2.0, Action::Start, 0.0f, false, false},
          {1.5, Action::None, 1.5f, false, false},
          {100.0, Action::None, 101.5f, false, false}}},
        {"speed two from ten to twenty ends after five seconds", 2, 10, 20,
         {{0.0, Action::Start, 10.0f, false, false},
          {2.5, Action::None, 15.0f, false, false},
          {2.5, Action::None, 20.0f, false, false},
          {0.25, Action::None, 0.0f, true, false},
          {1.0, Action::None, 0.0f, true, false}}},
        {"stop below start finishes at the first reading", 1, 5, 4,
         {{0.0, Action::Start, 0.0f, true, false}}},
        {"pause freezes and resume continues where it stopped", 1, 3, 100,
         {{0.0, Action::Start, 3.0f, false, false},
          {1.0, Action::Pause, 4.0f, false, true},
          {5.0, Action::None, 4.0f, false, true},
          {0.0, Action::Start, 4.0f, false, false},
          {2.0, Action::None, 6.0f, false, false},
          {1.0, Action::Pause, 7.0f, false, true},
          {1.0, Action::Start, 7.0f, false, false},
          {0.5, Action::None, 7.5f, false, false}}},
        {"paused time is not scaled into the clock", 2, 0, 100,
         {{0.0, Action::Start, 0.0f, false, false},
          {1.0, Action::Pause, 2.0f, false, true},
          {4.0, Action::Start, 2.0f, false, false},
          {1.0, Action::None, 4.0f, false, false}}},
        {"stop finishes and start begins again at start", 1, 2, 100,
         {{0.0, Action::Start, 2.0f, false, false},
          {3.0, Action::Stop, 0.0f, true, false},
          {1.0, Action::Start, 2.0f, false, false},
          {1.0, Action::None, 3.0f, false, false}}},
        {"stop clears a pause", 1, 0, 100,
         {{0.0, Action::Start, 0.0f, false, false},
          {1.0, Action::Pause, 1.0f, false, true},
          {1.0, Action::Stop, 0.0f, true, false},
          {1.0, Action::Start, 0.0f, false, false},
          {0.5, Action::None, 0.5f, false, false}}},
        {"start while running changes nothing", 1, 0, 100,
         {{0.0, Action::Start, 0.0f, false, false},
          {2.0, Action::Start, 2.0f, false, false},
          {1.0, Action::None, 3.0f, false, false}}},
        {"running past stop while paused finishes on resume", 1, 0, 2,
         {{0.0, Action::Start, 0.0f, false, false},
          {1.5, Action::Pause, 1.5f, false, true},
          {10.0, Action::Start, 1.5f, false, false},
          {1.0, Action::None, 0.0f, true, false}}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        FakeCounter counter;
        counter.advance(7.0);  // the clock must not depend on the counter's origin
        TimerSyncronizer clock(scenario.speed, scenario.start, scenario.stop, &counter);
        for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
            SCOPED_TRACE("step " + std::to_string(i));
            const Step& step = scenario.steps[i];
            counter.advance(step.advance);
            if (step.action == Action::Start) clock.start();
            if (step.action == Action::Pause) clock.pause();
            if (step.action == Action::Stop) clock.stop();
            EXPECT_FLOAT_EQ(clock.getTime(), step.expectedTime);
            EXPECT_EQ(clock.isFinished(), step.expectFinished);
            EXPECT_EQ(clock.isPaused(), step.expectPaused);
        }
    }
}

}  // namespace
}  // namespace Vexa
