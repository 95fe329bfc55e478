#include "Syncronizer/TimerSyncronizer.h"

namespace Vexa {

// A new clock is finished: it reads 0 until start() begins it at `start`.
TimerSyncronizer::TimerSyncronizer(float speed, float start, float stop, const Counter* counter)
    : m_timer(counter), m_speed(speed), m_start(start), m_stop(stop) {
    m_timer.reset();
}

// From finished the clock begins again at `start`; from paused it resumes
// where it stopped, the paused time being added to the offset.
void TimerSyncronizer::start() {
    if (m_finished) {
        m_startStamp = static_cast<float>(m_timer.elapsed());
        m_offset = 0.0f;
        m_finished = false;
    } else if (m_paused) {
        m_offset += static_cast<float>(m_timer.elapsed()) - m_pauseStamp;
        m_paused = false;
    }
}

void TimerSyncronizer::pause() {
    m_pauseStamp = static_cast<float>(m_timer.elapsed());
    m_paused = true;
}

void TimerSyncronizer::stop() {
    m_finished = true;
    m_paused = false;
}

// Scaled running time since the start, shifted to `start`; reading past the
// end of the range finishes the clock and answers 0.
float TimerSyncronizer::getTime() {
    if (m_finished) return 0.0f;
    const float reading = m_paused ? m_pauseStamp : static_cast<float>(m_timer.elapsed());
    const float t = (reading - m_startStamp - m_offset) * m_speed;
    if (t <= m_stop - m_start) return m_start + t;
    m_finished = true;
    m_paused = false;
    return 0.0f;
}

}  // namespace Vexa
