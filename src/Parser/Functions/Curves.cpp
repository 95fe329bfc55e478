#include "Parser/Functions/Curves.h"

#include <cmath>

#include "Parser/Functions/Envelope.h"

namespace Vexa {

namespace Types {
VEXA_DEFINE_TYPE(Curve3d, "Curve3d")
}  // namespace Types

namespace {

struct Vec3d {
    double x, y, z;
};

Vec3d toDouble(const Vec3f& v) { return {v[0], v[1], v[2]}; }

Vec3f toFloat(double x, double y, double z) {
    Vec3f v;
    v[0] = static_cast<float>(x);
    v[1] = static_cast<float>(y);
    v[2] = static_cast<float>(z);
    return v;
}

Vec3d normalised(const Vec3d& v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

}  // namespace

// The frame: a is the unit axis, e2 a unit vector perpendicular to it built
// from the axis' two larger components, e1 = e2 x a.
TorusCurve::TorusCurve(float radius1, float radius2, float rotations, const Vec3f& center,
                       const Vec3f& axis)
    : m_radius1(radius1), m_radius2(radius2), m_rotations(rotations), m_center(center) {
    Vec3d given = toDouble(axis);
    const double length = std::sqrt(given.x * given.x + given.y * given.y + given.z * given.z);
    if (!(length > 0.0) || !std::isfinite(length)) given = {0.0, 0.0, 1.0};
    const Vec3d a = normalised(given);
    const double ax = std::fabs(a.x), ay = std::fabs(a.y), az = std::fabs(a.z);
    Vec3d p{};
    if (ax < ay && ax < az)
        p = {0.0, -a.z, a.y};
    else if (ay < az)
        p = {a.z, 0.0, -a.x};
    else
        p = {-a.y, a.x, 0.0};
    p = normalised(p);
    m_a = toFloat(a.x, a.y, a.z);
    m_e2 = toFloat(p.x, p.y, p.z);
    m_e1 = toFloat(p.y * a.z - p.z * a.y, p.z * a.x - p.x * a.z, p.x * a.y - p.y * a.x);
}

// center + R1 r(t) + R2 (cos(k t) r(t) + sin(k t) a), r(t) = e1 cos t + e2 sin t.
Vec3f TorusCurve::position(float t) {
    const double c = std::cos(static_cast<double>(t)), s = std::sin(static_cast<double>(t));
    const double kt = static_cast<double>(m_rotations) * t;
    const double ck = std::cos(kt), sk = std::sin(kt);
    Vec3f out;
    for (int i = 0; i < 3; ++i) {
        const double r = m_e1[i] * c + m_e2[i] * s;
        out[i] =
            static_cast<float>(m_center[i] + m_radius1 * r + m_radius2 * (ck * r + sk * m_a[i]));
    }
    return out;
}

// R1 r'(t) + R2 ((r'(t) + k a) cos(k t) - k r(t) sin(k t)).
Vec3f TorusCurve::derivative(float t) {
    const double c = std::cos(static_cast<double>(t)), s = std::sin(static_cast<double>(t));
    const double k = m_rotations;
    const double ck = std::cos(k * t), sk = std::sin(k * t);
    Vec3f out;
    for (int i = 0; i < 3; ++i) {
        const double r = m_e1[i] * c + m_e2[i] * s;
        const double dr = -m_e1[i] * s + m_e2[i] * c;
        out[i] =
            static_cast<float>(m_radius1 * dr + m_radius2 * ((dr + k * m_a[i]) * ck - k * r * sk));
    }
    return out;
}

EnvelopeCurve3d::EnvelopeCurve3d(Interpolation x, Interpolation y, Interpolation z, float begin,
                                 float end)
    : m_x(std::move(x)), m_y(std::move(y)), m_z(std::move(z)), m_begin(begin), m_end(end) {}

Vec3f EnvelopeCurve3d::position(float t) {
    Vec3f v;
    v[0] = m_x.value(t);
    v[1] = m_y.value(t);
    v[2] = m_z.value(t);
    return v;
}

Vec3f EnvelopeCurve3d::derivative(float t) {
    Vec3f v;
    v[0] = m_x.derivative(t);
    v[1] = m_y.derivative(t);
    v[2] = m_z.derivative(t);
    return v;
}

CurveSum::CurveSum(std::vector<Curve3dObject*> curves) : m_curves(std::move(curves)) {
    for (Curve3dObject* curve : m_curves) hold(curve);
}

float CurveSum::beginParameter() {
    return m_curves.empty() ? 0.0f : m_curves.front()->beginParameter();
}

float CurveSum::endParameter() {
    return m_curves.empty() ? 0.0f : m_curves.front()->endParameter();
}

Vec3f CurveSum::position(float t) {
    Vec3f sum;
    for (Curve3dObject* curve : m_curves) {
        const Vec3f p = curve->position(t);
        for (int i = 0; i < 3; ++i) sum[i] += p[i];
    }
    return sum;
}

Vec3f CurveSum::derivative(float t) {
    Vec3f sum;
    for (Curve3dObject* curve : m_curves) {
        const Vec3f d = curve->derivative(t);
        for (int i = 0; i < 3; ++i) sum[i] += d[i];
    }
    return sum;
}

namespace {

Vec3f vec3(float x, float y, float z) { return toFloat(x, y, z); }

class F_TorusCurve : public IniFunction {
public:
    IniObject* create() override {
        const float radius1 = getNumber("radius1", 1.0f);
        const float radius2 = getNumber("radius2", 0.2f);
        const float rotations = getNumber("rotations", 16.0f);
        const Vec3f center = vectorParameter("center", vec3(0.0f, 0.0f, 0.0f));
        const Vec3f axis = vectorParameter("axis", vec3(0.0f, 0.0f, 1.0f));
        return new TorusCurve(radius1, radius2, rotations, center, axis);
    }

private:
    // The curve keeps the value it was built with, even from an animated vector.
    Vec3f vectorParameter(const char* name, const Vec3f& defaultValue) const {
        if (!has(name)) return defaultValue;
        return static_cast<Vec3dObject*>(getObject(name, Types::Vec3d()))->value();
    }
};

class F_EnvelopeCurve3d : public EnvelopeReader {
public:
    IniObject* create() override {
        std::vector<Interpolation> channels = readChannels(3, true);
        const std::vector<Interpolation::Key>& keys = channels[0].keys();
        const float firstTime = keys.empty() ? 0.0f : keys.front().time;
        const float lastTime = keys.empty() ? 0.0f : keys.back().time;
        const float begin = getNumber("begin", firstTime);
        const float end = getNumber("end", lastTime);
        return new EnvelopeCurve3d(std::move(channels[0]), std::move(channels[1]),
                                   std::move(channels[2]), begin, end);
    }
};

class F_CurveSum : public IniFunction {
public:
    IniObject* create() override {
        std::vector<Curve3dObject*> curves;
        for (int i = 0; i < count(); ++i)
            curves.push_back(static_cast<Curve3dObject*>(getRecordedElement(i, Types::Curve3d())));
        return new CurveSum(std::move(curves));
    }
};

F_TorusCurve s_torusCurve;
F_EnvelopeCurve3d s_envelopeCurve3d;
F_CurveSum s_curveSum;

const FunctionEntry kFunctions[] = {
    {"TorusCurve", &s_torusCurve},
    {"EnvelopeCurve3d", &s_envelopeCurve3d},
    {"CurveSum", &s_curveSum},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
