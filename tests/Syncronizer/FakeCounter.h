#pragma once
// A counter the test moves by hand, in microsecond ticks.
#include <cmath>

#include "Syncronizer/PerformanceTimer.h"

namespace Vexa::Testing {

class FakeCounter : public Counter {
public:
    int64_t ticks() const override { return m_ticks; }
    int64_t frequency() const override { return 1000000; }
    void advance(double seconds) { m_ticks += std::llround(seconds * 1e6); }

private:
    int64_t m_ticks = 123456789;
};

}  // namespace Vexa::Testing
