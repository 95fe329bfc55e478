#pragma once
// Parametric paths in 3D: a parameter range, a position and a derivative at
// every parameter value. Curves do not change after construction; evaluating
// one touches nothing but the segment caches of its channels.
#include <vector>

#include "Interpolation/Interpolation.h"
#include "Parser/IniObject.h"

namespace Vexa {

namespace Types {
const TypeObject* Curve3d();
}

class Curve3dObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::Curve3d(); }
    virtual float beginParameter() = 0;
    virtual float endParameter() = 0;
    virtual Vec3f position(float t) = 0;
    virtual Vec3f derivative(float t) = 0;
};

// A spiral: once around a ring of radius1 in the plane normal to the axis,
// winding `rotations` times around the ring's tube of radius2.
class TorusCurve : public Curve3dObject {
public:
    // An axis of zero or non-finite length falls back to (0, 0, 1).
    TorusCurve(float radius1, float radius2, float rotations, const Vec3f& center,
               const Vec3f& axis);
    float beginParameter() override { return 0.0f; }
    float endParameter() override { return 6.2831855f; }
    Vec3f position(float t) override;
    Vec3f derivative(float t) override;

    const Vec3f& e1() const { return m_e1; }
    const Vec3f& e2() const { return m_e2; }
    const Vec3f& axis() const { return m_a; }

private:
    float m_radius1;
    float m_radius2;
    float m_rotations;
    Vec3f m_center;
    Vec3f m_e1;
    Vec3f m_e2;
    Vec3f m_a;
};

// A path through keyed 3D points: one channel per coordinate.
class EnvelopeCurve3d : public Curve3dObject {
public:
    EnvelopeCurve3d(Interpolation x, Interpolation y, Interpolation z, float begin, float end);
    float beginParameter() override { return m_begin; }
    float endParameter() override { return m_end; }
    Vec3f position(float t) override;
    Vec3f derivative(float t) override;

private:
    Interpolation m_x;
    Interpolation m_y;
    Interpolation m_z;
    float m_begin;
    float m_end;
};

// The point-wise sum of curves, over the first curve's parameter range.
// Without curves the range is 0 to 0 and the sum is the origin.
class CurveSum : public Curve3dObject {
public:
    explicit CurveSum(std::vector<Curve3dObject*> curves);
    float beginParameter() override;
    float endParameter() override;
    Vec3f position(float t) override;
    Vec3f derivative(float t) override;

private:
    std::vector<Curve3dObject*> m_curves;
};

}  // namespace Vexa
