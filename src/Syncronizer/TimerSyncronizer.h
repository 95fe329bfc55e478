#pragma once
// The clock driven by the performance counter alone.
#include "Syncronizer/PerformanceTimer.h"
#include "Syncronizer/Syncronizer.h"

namespace Vexa {

class TimerSyncronizer : public Syncronizer {
public:
    // Runs from `start` to `stop` seconds at `speed` seconds per second once
    // started. `counter` (not owned) replaces the steady clock when given.
    TimerSyncronizer(float speed, float start, float stop, const Counter* counter = nullptr);

    void start() override;
    void pause() override;
    void stop() override;
    float getTime() override;
    float startTime() const override { return m_start; }
    float stopTime() const override { return m_stop; }
    bool isFinished() override { return m_finished; }
    bool isPaused() override { return m_paused; }

private:
    PerformanceTimer m_timer;
    float m_startStamp = 0.0f;  // stopwatch seconds when the clock (re)started
    float m_pauseStamp = 0.0f;  // stopwatch seconds at the last pause
    float m_offset = 0.0f;      // total paused time
    bool m_paused = false;
    bool m_finished = true;
    float m_speed;
    float m_start;
    float m_stop;
};

}  // namespace Vexa
