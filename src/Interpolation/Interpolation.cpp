#include "Interpolation/Interpolation.h"

#include <cmath>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Interpolation/Interpolation";

namespace {

// Shortest time span that still carries a slope or a polynomial.
const double kMinSpan = 1e-6;
const float kInfinity = std::numeric_limits<float>::infinity();

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

// Empties the segment cache after the keys changed and renews the scale
// that predicts a segment index from a time.
void Interpolation::invalidate() {
    m_segment.low = std::numeric_limits<float>::quiet_NaN();
    m_segment.high = std::numeric_limits<float>::quiet_NaN();
    m_indexScale = 0.0f;
    if (m_keys.size() < 2) return;
    const double span = static_cast<double>(m_lastTime) - m_firstTime;
    if (isSpan(span))
        m_indexScale = static_cast<float>(static_cast<double>(m_keys.size() - 1) / span);
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
// precision, stored as floats. The search bounds become the cache bounds.
void Interpolation::buildSegment(std::size_t index) {
    const Key& a = m_keys[index];
    const Key& b = m_keys[index + 1];
    Segment& s = m_segment;
    s.start = a.time;
    s.low = index == 0 ? -kInfinity : a.time;
    s.high = index + 2 == m_keys.size() ? kInfinity : b.time;
    s.c0 = a.value;
    s.c1 = s.c2 = s.c3 = 0.0f;

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
}

// Index of the segment whose polynomial applies at t (at least two keys):
// the one a binary search over the key times settles on, the last segment
// with a start time at most t. Keys usually lie about evenly apart, so the
// segment that even spacing predicts (or a neighbour) is tried first and the
// bisection runs only when those miss; for rising times both find the same
// segment, as only one satisfies the test. The predicted keys are the ones
// the segment is then built from, so a good guess costs one memory line.
std::size_t Interpolation::findSegment(float t) const {
    const Key* keys = m_keys.data();
    const std::size_t last = m_keys.size() - 2;
    const float guess = (t - m_firstTime) * m_indexScale;
    std::size_t g = 0;
    if (guess > 0.0f) g = guess < static_cast<float>(last) ? static_cast<std::size_t>(guess) : last;
    if (g > 0 && keys[g].time > t)
        --g;
    else if (g < last && keys[g + 1].time <= t)
        ++g;
    if ((g == 0 || keys[g].time <= t) && (g == last || t < keys[g + 1].time)) return g;

    std::size_t lo = 0;
    std::size_t hi = last + 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        const bool right = keys[mid].time <= t;  // selects rather than branches
        lo = right ? mid : lo;
        hi = right ? hi : mid;
    }
    return lo;
}

// The segment at t: the cached one when t lies in its bounds, else rebuilt.
const Interpolation::Segment& Interpolation::segmentAt(float t) {
    if (!(m_segment.low <= t && t < m_segment.high)) buildSegment(findSegment(t));
    return m_segment;
}

float Interpolation::curveValue(float t) {
    if (m_keys.size() < 2) return m_keys.empty() ? 0.0f : m_keys[0].value;
    const Segment& s = segmentAt(t);
    if (s.kind == 0) return s.c0;
    const float x = t - s.start;
    if (s.kind == 1) return s.c0 + x * s.c1;
    return s.c0 + x * (s.c1 + x * (s.c2 + x * s.c3));
}

float Interpolation::curveDerivative(float t) {
    if (m_keys.size() < 2) return 0.0f;
    const Segment& s = segmentAt(t);
    if (s.kind == 0) return 0.0f;
    if (s.kind == 1) return s.c1;
    const float x = t - s.start;
    return (3.0f * s.c3 * x + 2.0f * s.c2) * x + s.c1;
}

bool Interpolation::repeats() const {
    const double length = static_cast<double>(m_keys.back().time) - m_keys.front().time;
    return isSpan(length);
}

// Time before the first key mapped into the keyed range: cycles count back
// from the last key; oscillation reflects, so the curve jumps at the first
// key and runs backwards while the mapped time falls.
Interpolation::Mapped Interpolation::mapBefore(double t) const {
    const double t0 = m_keys.front().time, t1 = m_keys.back().time;
    const double length = t1 - t0;
    Mapped m{t, 0.0, 1.0f};
    if (m_pre == kCycle) {
        m.time = t1 - std::fmod(t1 - t, length);
    } else if (m_pre == kCycleRelative) {
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
Interpolation::Mapped Interpolation::mapAfter(double t) const {
    const double t0 = m_keys.front().time, t1 = m_keys.back().time;
    const double length = t1 - t0;
    Mapped m{t, 0.0, 1.0f};
    if (m_post == kCycle) {
        m.time = t0 + std::fmod(t - t0, length);
    } else if (m_post == kCycleRelative) {
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
    if (m_keys.empty()) return 0.0f;
    if (t < m_firstTime) {
        const Key& first = m_keys.front();
        switch (m_pre) {
            case kReset: return 0.0f;
            case kConstant: return first.value;
            case kLinearOut: return first.value + (t - first.time) * first.inTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return first.value;
                const Mapped m = mapBefore(t);
                return static_cast<float>(curveValue(static_cast<float>(m.time)) + m.offset);
            }
            default: break;
        }
    } else if (t > m_lastTime) {
        const Key& last = m_keys.back();
        switch (m_post) {
            case kReset: return 0.0f;
            case kConstant: return last.value;
            case kLinearOut: return last.value + (t - last.time) * last.outTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return last.value;
                const Mapped m = mapAfter(t);
                return static_cast<float>(curveValue(static_cast<float>(m.time)) + m.offset);
            }
            default: break;
        }
    }
    return curveValue(t);
}

// Slope of value(t). Outside the keys the repeating behaviours differentiate
// the curve at the mapped time; oscillation also reverses the slope on the
// backward runs, so the derivative matches the value it belongs to.
float Interpolation::derivative(float t) {
    if (m_keys.empty()) return 0.0f;
    if (t < m_firstTime) {
        const Key& first = m_keys.front();
        switch (m_pre) {
            case kReset:
            case kConstant: return 0.0f;
            case kLinearOut: return first.inTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return 0.0f;
                const Mapped m = mapBefore(t);
                return m.slopeSign * curveDerivative(static_cast<float>(m.time));
            }
            default: break;
        }
    } else if (t > m_lastTime) {
        const Key& last = m_keys.back();
        switch (m_post) {
            case kReset:
            case kConstant: return 0.0f;
            case kLinearOut: return last.outTangent;
            case kCycle:
            case kCycleRelative:
            case kOscillate: {
                if (!repeats()) return 0.0f;
                const Mapped m = mapAfter(t);
                return m.slopeSign * curveDerivative(static_cast<float>(m.time));
            }
            default: break;
        }
    }
    return curveDerivative(t);
}

}  // namespace Vexa
