#pragma once
// The high-resolution stopwatch: seconds, as a double, since construction or
// the last reset. It reads a monotonic counter; the steady clock by default,
// or a counter the caller supplies (tests drive the clocks with their own).
#include <cstdint>

namespace Vexa {

// A monotonic counter: a tick count and the number of ticks per second.
class Counter {
public:
    virtual int64_t ticks() const = 0;
    virtual int64_t frequency() const = 0;
    virtual ~Counter() = default;
};

// The process's steady clock as a counter.
const Counter& steadyCounter();

class PerformanceTimer {
public:
    // `counter` is not owned and must outlive the stopwatch; null means the
    // steady clock.
    explicit PerformanceTimer(const Counter* counter = nullptr);

    void reset();
    double elapsed() const;

private:
    const Counter* m_counter;
    double m_secondsPerTick = 0.0;
    int64_t m_startValue = 0;
};

}  // namespace Vexa
