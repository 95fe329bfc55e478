#include "Syncronizer/PerformanceTimer.h"

#include <chrono>

namespace Vexa {

namespace {

class SteadyCounter : public Counter {
public:
    int64_t ticks() const override {
        return std::chrono::steady_clock::now().time_since_epoch().count();
    }
    int64_t frequency() const override {
        using Period = std::chrono::steady_clock::period;
        return Period::den / Period::num;
    }
};

}  // namespace

const Counter& steadyCounter() {
    static const SteadyCounter counter;
    return counter;
}

// Seconds per tick are taken from the counter at construction, the way the
// counter's frequency is read once when a stopwatch is made.
PerformanceTimer::PerformanceTimer(const Counter* counter)
    : m_counter(counter ? counter : &steadyCounter()),
      m_secondsPerTick(1.0 / static_cast<double>(m_counter->frequency())),
      m_startValue(m_counter->ticks()) {}

void PerformanceTimer::reset() { m_startValue = m_counter->ticks(); }

double PerformanceTimer::elapsed() const {
    return static_cast<double>(m_counter->ticks() - m_startValue) * m_secondsPerTick;
}

}  // namespace Vexa
