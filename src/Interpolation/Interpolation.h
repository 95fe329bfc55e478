#pragma once
// A one-dimensional keyed channel: a piecewise polynomial (step, linear or
// cubic Hermite) through keys added in rising time order, with a chosen
// behaviour before the first and after the last key.
//
// Building: addKey / addFixedKey / addTcbKey in time order, then finish()
// once. A key's tangents are computed when the following key arrives (or by
// finish for the last key), with the tangent mode the key was added with.
//
// Evaluating: value(t) and derivative(t) change nothing but the segment
// cache. The segment last used is reused while t lies between its two keys
// (both ends included), so consecutive calls inside one segment cost one
// polynomial. Otherwise the segment is the last one whose first key's time is
// at most t (the first segment when there is none), found through a time
// index built after the keys change: one 32-byte slot per key holding a
// segment's coefficients, so a search costs one memory line or two adjacent
// ones (about 52 bytes per key with the key itself).
//
// Degenerate input never crashes or loops:
//  - no keys: value and derivative are 0 everywhere;
//  - one key: the value is that key's (the behaviours still apply, so
//    "RESET" gives 0 off the key and "LINEAR" follows a fixed tangent);
//  - a segment whose time span is not a finite number of at least 1e-6
//    (equal, reversed or non-finite key times) is constant at its first value,
//    and a slope over such a span is 0;
//  - keys whose times do not rise are searched by bisection, as if they rose;
//  - a repeating behaviour over such a range holds the end value, as
//    "CONSTANT" does.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace Vexa {

class Interpolation {
public:
    // Tangent modes, numbered as key tuples write them.
    enum TangentMode : int32_t { kFlat = 0, kLinear = 1, kSmooth = 2, kFixed = 3, kTcb = 4 };
    // Behaviours before the first and after the last key.
    enum Behaviour : int32_t {
        kReset = 0,
        kConstant = 1,
        kLinearOut = 2,
        kCycle = 3,
        kCycleRelative = 4,
        kOscillate = 5
    };

    struct Key {
        float time = 0.0f;
        float value = 0.0f;
        float inTangent = 0.0f;   // slope arriving at the key
        float outTangent = 0.0f;  // slope leaving the key
        int32_t degree = 3;       // of the segment starting here
    };

    void setPre(int32_t behaviour) { m_pre = behaviour; }
    void setPost(int32_t behaviour) { m_post = behaviour; }
    void setSmoothWrap(bool wrap) { m_smoothWrap = wrap; }
    int32_t pre() const { return m_pre; }
    int32_t post() const { return m_post; }
    bool smoothWrap() const { return m_smoothWrap; }

    // 0, 1 or 3; anything else raises "Degree Error, Error error...".
    void setDegree(int32_t degree);
    int32_t degree() const { return m_degree; }

    void addKey(float time, float value, int32_t mode);
    void addFixedKey(float time, float value, float tangent);
    void addFixedKey(float time, float value, float inTangent, float outTangent);
    void addTcbKey(float time, float value, float tension, float continuity, float bias);
    void finish();

    const std::vector<Key>& keys() const { return m_keys; }

    float value(float t);
    float derivative(float t);

private:
    // The polynomial of one segment in s = t - start, for start <= t <= end
    // (the times of its two keys). As a slot of the time index it is the
    // segment at the slot's earliest time, with where the next segment begins
    // if exactly one begins inside the slot (else NaN) and whether several
    // do. 32 bytes, so an aligned record never straddles two cache lines.
    struct Segment {
        float start = std::numeric_limits<float>::quiet_NaN();
        float end = std::numeric_limits<float>::quiet_NaN();
        float c0 = 0.0f, c1 = 0.0f, c2 = 0.0f, c3 = 0.0f;
        float boundary = std::numeric_limits<float>::quiet_NaN();
        uint8_t kind = 0;  // 0 constant, 1 linear, 3 cubic
        bool several = false;
    };
    struct alignas(32) Slot {
        Segment segment;
    };

    void computeTangents(std::size_t index, int32_t mode);
    void invalidate();
    void prepare();
    Segment buildSegment(std::size_t index) const;
    std::size_t slotOf(float t) const;
    std::size_t bisect(float t) const;
    const Segment& segmentAt(float t);
    float curveValue(float t);
    float curveDerivative(float t);
    // Maps a time outside the keys onto the keyed range for the repeating
    // behaviours; answers the mapped time, the value offset (relative cycles)
    // and the sign the mapping gives the derivative.
    struct Mapped {
        double time;
        double offset;
        float slopeSign;
    };
    Mapped mapBefore(double t, int32_t behaviour) const;
    Mapped mapAfter(double t, int32_t behaviour) const;
    bool repeats() const;

    // What every evaluation reads comes first: the cached segment, the key
    // range and the index.
    Segment m_segment;
    float m_firstTime = 0.0f;
    float m_lastTime = 0.0f;
    float m_slotScale = 0.0f;  // index slots per second over the keyed range
    float m_slotLimit = 0.0f;  // number of slots, 0 when searching by bisection
    int32_t m_pre = kConstant;
    int32_t m_post = kConstant;
    std::vector<Slot> m_slots;
    std::vector<Key> m_keys;
    int32_t m_pendingMode = kSmooth;
    int32_t m_degree = 3;
    float m_tension = 0.0f;
    float m_continuity = 0.0f;
    float m_bias = 0.0f;
    bool m_dirty = true;
    bool m_smoothWrap = false;
};

}  // namespace Vexa
