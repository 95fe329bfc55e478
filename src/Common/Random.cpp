#include "Common/Random.h"

namespace Vexa {

void MersenneTwister::seed_(uint32_t seed) {
    m_state[0] = seed | 1u;
    for (int i = 1; i < kWords; ++i) m_state[i] = m_state[i - 1] * 69069u;
    m_index = kWords;
}

// Regenerates all 624 words at once, as the reference recurrence does.
void MersenneTwister::regenerate() {
    constexpr int kShift = 397;
    constexpr uint32_t kMatrix = 0x9908B0DFu, kUpper = 0x80000000u, kLower = 0x7FFFFFFFu;
    for (int i = 0; i < kWords; ++i) {
        const uint32_t y = (m_state[i] & kUpper) | (m_state[(i + 1) % kWords] & kLower);
        m_state[i] = m_state[(i + kShift) % kWords] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
    }
    m_index = 0;
}

uint32_t MersenneTwister::next() {
    if (m_index >= kWords) regenerate();
    uint32_t y = m_state[m_index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

MersenneTwister& programTwister() {
    static MersenneTwister s_twister;
    return s_twister;
}

StandardRandom& programStandardRandom() {
    static StandardRandom s_random;
    return s_random;
}

void resetProgramRandom() {
    programTwister() = MersenneTwister();
    programStandardRandom() = StandardRandom();
}

}  // namespace Vexa
