#pragma once
// The two pseudo-random sequences effects draw from. Both are fixed here, not
// taken from the C library, so that every picture is the same on every machine.
#include <cstdint>

namespace Vexa {

// MT19937 shared by the whole program. Seeded with 4357 on first use: word 0
// is seed | 1 and each following word is the previous one times 69069.
class MersenneTwister {
public:
    explicit MersenneTwister(uint32_t seed = 4357) { seed_(seed); }
    uint32_t next();
    // The next output read as unsigned times 2^-32: a number in [0, 1).
    double uniform() { return next() * 2.3283064365386963e-10; }

private:
    void seed_(uint32_t seed);
    void regenerate();

    static constexpr int kWords = 624;
    uint32_t m_state[kWords];
    int m_index = kWords;
};

// The classic 15-bit linear congruential sequence: state = state * 214013 +
// 2531011 (mod 2^32), output (state >> 16) & 0x7FFF, first state 1.
class StandardRandom {
public:
    static constexpr int kMax = 32767;
    explicit StandardRandom(uint32_t seed = 1) : m_state(seed) {}
    int next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }
    // The next output mapped onto [-1, 1].
    float nextSigned() { return static_cast<float>(next()) * (2.0f / kMax) - 1.0f; }

private:
    uint32_t m_state;
};

// The program-wide generators. Tests may reset them to their first state.
MersenneTwister& programTwister();
StandardRandom& programStandardRandom();
void resetProgramRandom();

}  // namespace Vexa
