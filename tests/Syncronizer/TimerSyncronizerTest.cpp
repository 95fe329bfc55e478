#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Support/TestKit.h"
#include "Syncronizer/TimerSyncronizer.h"

namespace Vexa {
namespace {

using Testing::FakeCounter;

// A clock's speed, start and stop, and its steps: each moves the counter by
// some seconds, acts on the clock (s start, p pause, x stop, - nothing), then
// reads its time and state (r running, p paused, f finished).
struct Scenario {
    float speed, start, stop;
    const char* steps;
};

TEST(TimerSyncronizer, FollowsStartPauseResumeStopAndRange) {
    const Scenario scenarios[] = {
        // Zero before start; then one second per second from the start.
        {1, 0, 1e6, "0 - 0 f  3 - 0 f  2 s 0 r  1.5 - 1.5 r  100 - 101.5 r"},
        // Speed two from ten to twenty ends after five seconds.
        {2, 10, 20, "0 s 10 r  2.5 - 15 r  2.5 - 20 r  0.25 - 0 f  1 - 0 f"},
        // A stop below the start finishes at the first reading.
        {1, 5, 4, "0 s 0 f"},
        // Pause freezes and resume continues where it stopped.
        {1, 3, 100, "0 s 3 r  1 p 4 p  5 - 4 p  0 s 4 r  2 - 6 r  1 p 7 p  1 s 7 r  0.5 - 7.5 r"},
        // Paused time is not scaled into the clock.
        {2, 0, 100, "0 s 0 r  1 p 2 p  4 s 2 r  1 - 4 r"},
        // Stop finishes, clears a pause, and start begins again at the start.
        {1, 2, 100, "0 s 2 r  1 p 3 p  3 x 0 f  1 s 2 r  1 - 3 r"},
        // Start while running changes nothing.
        {1, 0, 100, "0 s 0 r  2 s 2 r  1 - 3 r"},
        // Running past the stop while paused finishes on resume.
        {1, 0, 2, "0 s 0 r  1.5 p 1.5 p  10 s 1.5 r  1 - 0 f"},
    };
    for (const Scenario& scenario : scenarios) {
        FakeCounter counter;
        counter.advance(7.0);  // the clock must not depend on the counter's origin
        TimerSyncronizer clock(scenario.speed, scenario.start, scenario.stop, &counter);
        std::istringstream steps(scenario.steps);
        double advance = 0;
        char action = 0, state = 0;
        float time = 0;
        for (int step = 0; steps >> advance >> action >> time >> state; ++step) {
            SCOPED_TRACE(std::string(scenario.steps) + ": step " + std::to_string(step));
            counter.advance(advance);
            if (action == 's') clock.start();
            if (action == 'p') clock.pause();
            if (action == 'x') clock.stop();
            EXPECT_FLOAT_EQ(clock.getTime(), time);
            EXPECT_EQ(clock.isFinished(), state == 'f');
            EXPECT_EQ(clock.isPaused(), state == 'p');
        }
        EXPECT_TRUE(steps.eof()) << "unread steps: " << scenario.steps;
    }
}

}  // namespace
}  // namespace Vexa
