#include "Interpolation/Interpolation.h"

#include <cmath>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Interpolation/Interpolation";

namespace {

// Shortest time span that still carries a slope or a polynomial.
const double kMinSpan = 1e-6;

bool isSpan(double span) { return span >= kMinSpan && std::isfinite(span); }

// Chord slope from key a to key b; 0 over a span too short to divide by.
double slope(const Interpolation::Key& a, const Interpolation::Key& b) {
    const double span = static_cast<double>(b.time) - a.time;
    return isSpan(span) ? (static_cast<double>(b.value) - a.value) / span : 0.0;
}

// The tangent rule one side of a key follows: a step or linear segment on
// that side overrides the key's own mode.
int32_t sideMode(int32_t segmentDegree, int32_t keyMode) {
    if (segmentDegree == 0) return Interpolation::kFlat;
    if (segmentDegree == 1) return Interpolation::kLinear;
    return keyMode;
}

}  // namespace

void Interpolation::setDegree(int32_t degree) {
    if (degree != 0 && degree != 1 && degree != 3)
        VEXA_THROW(FatalParseException, "Degree Error, Error error...");
    m_degree = degree;
}

// Appends a key. The previous key now has a follower, so its segment degree
// and its tangents (with the mode it was added with) are fixed here.
void Interpolation::addKey(float time, float value, int32_t mode) {
    Key key;
    key.time = time;
    key.value = value;
    key.degree = m_degree;
    m_keys.push_back(key);
    if (m_keys.size() == 1) m_firstTime = time;
    m_lastTime = time;
    if (m_keys.size() >= 2) {
        const std::size_t previous = m_keys.size() - 2;
        m_keys[previous].degree = m_degree;
        computeTangents(previous, m_pendingMode);
    }
    m_pendingMode = mode;
    invalidate();
}

void Interpolation::addFixedKey(float time, float value, float tangent) {
    addFixedKey(time, value, tangent, tangent);
}

void Interpolation::addFixedKey(float time, float value, float inTangent, float outTangent) {
    addKey(time, value, kFixed);
    m_keys.back().inTangent = inTangent;
    m_keys.back().outTangent = outTangent;
}

void Interpolation::addTcbKey(float time, float value, float tension, float continuity,
                              float bias) {
    addKey(time, value, kTcb);
    m_tension = tension;
    m_continuity = continuity;
    m_bias = bias;
}

void Interpolation::finish() {
    if (!m_keys.empty()) computeTangents(m_keys.size() - 1, m_pendingMode);
    invalidate();
}

// Empties the segment cache after the keys changed; the segment records
// and the time index are rebuilt by the next evaluation that needs them.
void Interpolation::invalidate() {
    m_dirty = true;
    m_segment = Segment();
}

// Tangents of key `index` with tangent mode `mode`. The first key and the
// last key (unless the curve wraps smoothly) take the chord slope to their
// one neighbour. An interior key, or the wrapped last key, combines the rule
// of each side: a step or linear segment on a side decides that side; two
// smooth sides share the slope through both neighbours; TCB blends the two
// chord slopes. The wrapped last key treats the first segment as the one
// leaving it and hands its in-tangent to the first key.
void Interpolation::computeTangents(std::size_t index, int32_t mode) {
    const std::size_t n = m_keys.size();
    Key& key = m_keys[index];
    const bool isLast = index == n - 1;

    if (index == 0 || (isLast && !m_smoothWrap)) {
        if (mode == kFlat) {
            key.inTangent = key.outTangent = 0.0f;
        } else if (mode != kFixed) {
            double chord = 0.0;
            if (n >= 2)
                chord = index == 0 ? slope(m_keys[0], m_keys[1]) : slope(m_keys[index - 1], key);
            key.inTangent = key.outTangent = static_cast<float>(chord);
        }
        return;
    }

    const Key& previous = m_keys[index - 1];
    const bool wrapped = isLast;
    const Key& leaving = wrapped ? m_keys[0] : key;
    const Key& next = wrapped ? m_keys[1] : m_keys[index + 1];
    const int32_t inMode = sideMode(previous.degree, mode);
    const int32_t outMode = sideMode(leaving.degree, mode);
    const double slopeIn = slope(previous, key);
    const double slopeOut = slope(leaving, next);

    if (inMode == kSmooth && outMode == kSmooth) {
        double rise = static_cast<double>(next.value) - previous.value;
        double run = static_cast<double>(next.time) - previous.time;
        if (wrapped) {
            rise = (static_cast<double>(next.value) - leaving.value) +
                   (static_cast<double>(key.value) - previous.value);
            run = (static_cast<double>(next.time) - leaving.time) +
                  (static_cast<double>(key.time) - previous.time);
        }
        const float tangent = isSpan(run) ? static_cast<float>(rise / run) : 0.0f;
        key.inTangent = key.outTangent = tangent;
    } else {
        const double tension = 0.5 * (1.0 - m_tension);
        const double c = m_continuity;
        const double b = m_bias;
        double in = key.inTangent;
        double out = key.outTangent;
        switch (inMode) {
            case kFlat: in = 0.0; break;
            case kLinear: in = slopeIn; break;
            case kTcb:
                in = tension * ((1 + c) * (1 + b) * slopeIn + (1 - c) * (1 - b) * slopeOut);
                break;
            default: break;
        }
        switch (outMode) {
            case kFlat: out = 0.0; break;
            case kLinear: out = slopeOut; break;
            case kSmooth: out = in; break;
            case kTcb:
                out = tension * ((1 - c) * (1 + b) * slopeIn + (1 + c) * (1 - b) * slopeOut);
                break;
            default: break;
        }
        if (inMode == kSmooth) in = out;
        key.inTangent = static_cast<float>(in);
        key.outTangent = static_cast<float>(out);
    }

    if (wrapped) m_keys[0].inTangent = m_keys[0].outTangent = key.inTangent;
}

// Polynomial of the segment from key `index` to the next, in double
// precision, stored as floats.
Interpolation::Segment Interpolation::buildSegment(std::size_t index) const {
    const Key& a = m_keys[index];
    const Key& b = m_keys[index + 1];
    Segment s;
    s.start = a.time;
    s.end = b.time;
    s.c0 = a.value;
    const double d = static_cast<double>(b.time) - a.time;
    if (a.degree == 0 || !isSpan(d)) {
        s.kind = 0;
    } else if (a.degree == 1) {
        s.kind = 1;
        s.c1 = a.outTangent;
    } else {
        s.kind = 3;
        const double y0 = a.value, y1 = b.value;
        const double m0 = a.outTangent, m1 = b.inTangent;
        const double r = 1.0 / d;
        s.c1 = a.outTangent;
        s.c2 = static_cast<float>((3.0 * (y1 - y0) * r - (2.0 * m0 + m1)) * r);
        s.c3 = static_cast<float>(((m0 + m1) + 2.0 * (y0 - y1) * r) * r * r);
    }
    return s;
}

// Builds the time index when the key times rise over a usable span. The
// keyed range is cut into one slot per key, centred where the key would lie
// if keys were evenly spaced, so keys about evenly spaced each begin their
// segment inside their own slot. A slot holds a copy of the segment at its
// earliest time; when one segment begins inside the slot, the next slot
// holds that one, so a search reads one slot or two adjacent ones. Slots in
// which several segments begin fall back to bisection. slotOf never
// decreases as t grows, which keeps each slot's answer exact whatever the
// rounding at slot edges.
void Interpolation::prepare() {
    m_dirty = false;
    m_slots.clear();
    m_slotScale = 0.0f;
    m_slotLimit = 0.0f;
    const std::size_t n = m_keys.size();
    if (n < 2) return;
    bool rising = true;
    for (std::size_t i = 1; i < n; ++i) rising = rising && m_keys[i - 1].time <= m_keys[i].time;
    const double span = static_cast<double>(m_lastTime) - m_firstTime;
    const std::size_t slots = n;
    if (!rising || !isSpan(span) || slots >= (std::size_t{1} << 23)) return;
    m_slotScale = static_cast<float>(static_cast<double>(slots - 1) / span);
    m_slotLimit = static_cast<float>(slots);

    // One slot more than slotOf answers: the step target of the last one.
    m_slots.resize(slots + 1);
    std::size_t next = 1;  // the next key at which a segment begins
    std::size_t first = 0;
    for (std::size_t slot = 0; slot <= slots; ++slot) {
        while (next <= n - 2 && slotOf(m_keys[next].time) < slot) first = next++;
        std::size_t beginning = 0;
        while (next + beginning <= n - 2 && slotOf(m_keys[next + beginning].time) == slot)
            ++beginning;
        Segment& s = m_slots[slot].segment;
        s = buildSegment(first);
        if (beginning == 1) s.boundary = m_keys[first + 1].time;
        s.several = beginning > 1;
    }
}

std::size_t Interpolation::slotOf(float t) const {
    const float x = (t - m_firstTime) * m_slotScale + 0.5f;
    if (!(x > 0.0f)) return 0;
    return static_cast<std::size_t>(x < m_slotLimit ? x : m_slotLimit - 1.0f);
}

// The segment a bisection over the key times settles on: the last one whose
// first key's time is at most t, or the first.
std::size_t Interpolation::bisect(float t) const {
    std::size_t lo = 0;
    std::size_t hi = m_keys.size() - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        if (m_keys[mid].time <= t)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

// The segment at t: the cached one while t lies between its keys, else the
// one the bisection would find, read from the time index when there is one.
const Interpolation::Segment& Interpolation::segmentAt(float t) {
    if (m_segment.start <= t && t <= m_segment.end) return m_segment;
    if (m_dirty) prepare();
    if (m_keys.size() < 2) {
        m_segment = Segment();
        m_segment.c0 = m_keys.empty() ? 0.0f : m_keys[0].value;
    } else if (m_slots.empty()) {
        m_segment = buildSegment(bisect(t));
    } else {
        const Slot* slot = &m_slots[slotOf(t)];
        if (slot->segment.several) {
            m_segment = buildSegment(bisect(t));
        } else {
            // Stepping without a branch: a mispredicted branch on the loaded
            // slot would wait for that load, and searches of consecutive
            // evaluations could no longer overlap.
            slot += static_cast<std::size_t>(slot->segment.boundary <= t);
            m_segment = slot->segment;
        }
    }
    return m_segment;
}

float Interpolation::curveValue(float t) {
    const Segment& s = segmentAt(t);
    const float x = t - s.start;
    const float linear = s.c0 + x * s.c1;
    const float cubic = s.c0 + x * (s.c1 + x * (s.c2 + x * s.c3));
    return s.kind == 0 ? s.c0 : s.kind == 1 ? linear : cubic;
}

float Interpolation::curveDerivative(float t) {
    const Segment& s = segmentAt(t);
    const float x = t - s.start;
    const float cubic = (3.0f * s.c3 * x + 2.0f * s.c2) * x + s.c1;
    return s.kind == 0 ? 0.0f : s.kind == 1 ? s.c1 : cubic;
}

bool Interpolation::repeats() const {
    const double length = static_cast<double>(m_keys.back().time) - m_keys.front().time;
    return isSpan(length);
}

// Time before the first key mapped into the keyed range: cycles count back
// from the last key; oscillation reflects, so the curve jumps at the first
// key and runs backwards while the mapped time falls.
Interpolation::Mapped Interpolation::mapBefore(double t, int32_t behaviour) const {
    const double t0 = m_keys.front().time, t1 = m_keys.back().time;
    const double length = t1 - t0;
    Mapped m{t, 0.0, 1.0f};
    if (behaviour == kCycle) {
        m.time = t1 - std::fmod(t1 - t, length);
    } else if (behaviour == kCycleRelative) {
        const double q = std::floor((t - t0) / length);
        m.time = t - q * length;
        m.offset = q * (static_cast<double>(m_keys.back().value) - m_keys.front().value);
    } else {
        const double w = std::fmod(t0 - t, 2.0 * length);
        m.time = t0 + std::fabs(length - w);
        m.slopeSign = w < length ? 1.0f : -1.0f;
    }
    if (m.time < t0) m.time = t0;
    if (m.time > t1) m.time = t1;
    return m;
}

// Time after the last key mapped into the keyed range.
Interpolation::Mapped Interpolation::mapAfter(double t, int32_t behaviour) const {
    const double t0 = m_keys.front().time, t1 = m_keys.back().time;
    const double length = t1 - t0;
    Mapped m{t, 0.0, 1.0f};
    if (behaviour == kCycle) {
        m.time = t0 + std::fmod(t - t0, length);
    } else if (behaviour == kCycleRelative) {
        const double q = std::floor((t - t0) / length);
        m.time = t - q * length;
        m.offset = q * (static_cast<double>(m_keys.back().value) - m_keys.front().value);
    } else {
        const double w = std::fmod(t - t1, 2.0 * length);
        m.time = t0 + std::fabs(length - w);
        m.slopeSign = w < length ? -1.0f : 1.0f;
    }
    if (m.time < t0) m.time = t0;
    if (m.time > t1) m.time = t1;
    return m;
}

float Interpolation::value(float t) {
    if (t < m_firstTime && !m_keys.empty()) {
        const Key& first = m_keys.front();
        switch (m_pre) {
            case kReset: return 0.0f;
            case kConstant: return first.value;
            case kLinearOut: return first.value + (t - first.time) * first.inTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return first.value;
                const Mapped m = mapBefore(t, m_pre);
                return static_cast<float>(curveValue(static_cast<float>(m.time)) + m.offset);
            }
            default: break;
        }
    } else if (t > m_lastTime && !m_keys.empty()) {
        const Key& last = m_keys.back();
        switch (m_post) {
            case kReset: return 0.0f;
            case kConstant: return last.value;
            case kLinearOut: return last.value + (t - last.time) * last.outTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return last.value;
                const Mapped m = mapAfter(t, m_post);
                return static_cast<float>(curveValue(static_cast<float>(m.time)) + m.offset);
            }
            default: break;
        }
    }
    return curveValue(t);
}

// Slope of value(t). Outside the keys the repeating behaviours differentiate
// the curve at the mapped time; oscillation also reverses the slope on the
// backward runs, so the derivative matches the value it belongs to. Before
// the first key a relative cycle takes the slope where a plain cycle would
// (counted back from the last key): at whole periods before the first key
// that is the slope arriving at the last key.
float Interpolation::derivative(float t) {
    if (t < m_firstTime && !m_keys.empty()) {
        const Key& first = m_keys.front();
        switch (m_pre) {
            case kReset:
            case kConstant: return 0.0f;
            case kLinearOut: return first.inTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return 0.0f;
                const Mapped m = mapBefore(t, m_pre == kCycleRelative ? kCycle : m_pre);
                return m.slopeSign * curveDerivative(static_cast<float>(m.time));
            }
            default: break;
        }
    } else if (t > m_lastTime && !m_keys.empty()) {
        const Key& last = m_keys.back();
        switch (m_post) {
            case kReset:
            case kConstant: return 0.0f;
            case kLinearOut: return last.outTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return 0.0f;
                const Mapped m = mapAfter(t, m_post);
                return m.slopeSign * curveDerivative(static_cast<float>(m.time));
            }
            default: break;
        }
    }
    return curveDerivative(t);
}

}  // namespace Vexa
